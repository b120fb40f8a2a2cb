#include "music/clsDLL.h"

#include <QFile>
#include <dlfcn.h>

clsDLL::~clsDLL()
{
    UnloadDLL();
}

bool clsDLL::LoadDLL(const QString& strDLL)
{
    IsCDECL = false;
    UnloadDLL();
    if (strDLL.isEmpty())
        return false;
    // RTLD_LOCAL: the library's symbols stay out of the program's namespace.
    m_module = ::dlopen(QFile::encodeName(strDLL).constData(), RTLD_NOW | RTLD_LOCAL);
    return m_module != nullptr;
}

void clsDLL::UnloadDLL()
{
    if (m_module)
        ::dlclose(m_module);
    m_module = nullptr;
}

void* clsDLL::Lookup(const char* name) const
{
    if (!m_module || !name)
        return nullptr;
    return ::dlsym(m_module, name);
}

Failure clsDLL::ExportMissing(const char* name)
{
    return Failure(QStringLiteral("Export function not found in DLL!"), MessageIcon::Critical,
                   QString::fromLatin1(name ? name : ""));
}
