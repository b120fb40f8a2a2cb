#pragma once

#include "app/Failure.h"

#include <QString>
#include <array>
#include <cstddef>
#include <tuple>
#include <type_traits>

namespace dll_detail {
template <typename T>
struct IsArray : std::false_type
{
};
template <typename T, std::size_t N>
struct IsArray<std::array<T, N>> : std::true_type
{
};
} // namespace dll_detail

// One argument that is a std::array.
template <typename... Args>
inline constexpr bool IsSingleArray = false;
template <typename Arg>
inline constexpr bool IsSingleArray<Arg> = dll_detail::IsArray<std::remove_cvref_t<Arg>>::value;

// Calls exported functions of a shared library found by name at run time,
// without linking against it: a missing library or export is a value the
// caller sees, never a failure to start. Each call names the function's C
// signature, so addresses go at full width and floats as floats.
class clsDLL
{
public:
    clsDLL() = default;
    ~clsDLL();
    clsDLL(const clsDLL&) = delete;
    clsDLL& operator=(const clsDLL&) = delete;

    // Loads the library by the given name (the loader's own search order
    // applies; no folder is put in front). A library loaded earlier through
    // this object is released first. False when it cannot be loaded.
    bool LoadDLL(const QString& strDLL);
    void UnloadDLL();
    // Null while nothing is loaded.
    void* ModuleHandle() const { return m_module; }
    // Whether the caller cleans up the arguments. On this platform every export
    // uses the one C convention; the flag is kept for what the owner records.
    bool IsCDECL = false;

    // The export as a typed function pointer, looked up afresh.
    template <typename Signature>
    Result<Signature*> Function(const char* name) const
    {
        static_assert(std::is_function_v<Signature>, "Function<R(Args...)>");
        void* address = Lookup(name);
        if (!address)
            return Fail(ExportMissing(name));
        return reinterpret_cast<Signature*>(address);
    }

    // Looks the export up (on every call) and calls it with the arguments, the
    // first argument first. One std::array argument stands for its elements.
    template <typename Signature, typename... Args>
    requires(!IsSingleArray<Args...>) auto CallFunc(const char* name, Args&&... args) const
    {
        using Return = decltype(std::declval<Signature*>()(std::forward<Args>(args)...));
        return CallFuncImpl<Signature, Return>(name, std::forward<Args>(args)...);
    }
    template <typename Signature, typename T, std::size_t N>
    auto CallFunc(const char* name, const std::array<T, N>& args) const
    {
        return std::apply([&](const auto&... each) { return CallFunc<Signature>(name, each...); }, args);
    }

    // The error of a missing export: "Export function not found in DLL!" with the name.
    static Failure ExportMissing(const char* name);

private:
    template <typename Signature, typename Return, typename... Args>
    Result<Return> CallFuncImpl(const char* name, Args&&... args) const
    {
        const Result<Signature*> function = Function<Signature>(name);
        if (!function)
            return Fail(function.error());
        if constexpr (std::is_void_v<Return>) {
            (*function)(std::forward<Args>(args)...);
            return {};
        } else {
            return (*function)(std::forward<Args>(args)...);
        }
    }
    void* Lookup(const char* name) const;

    void* m_module = nullptr;
};
