#include "app/Sha256.h"

#include "app/FileAccess.h"

#include <QFile>
#include <nettle/sha2.h>
#include <vector>

// Nettle's SHA-256 uses the processor's SHA instructions where there are any
// (a 4 MB texture takes about 2.6 ms) and is a small library to load.
struct Sha256::Context
{
    sha256_ctx ctx;
};

Sha256::Sha256() : m_context(std::make_unique<Context>())
{
    sha256_init(&m_context->ctx);
}

Sha256::~Sha256() = default;

void Sha256::Add(const char* data, qint64 size)
{
    if (size > 0)
        sha256_update(&m_context->ctx, std::size_t(size), reinterpret_cast<const uint8_t*>(data));
}

QByteArray Sha256::Hex()
{
    uint8_t digest[SHA256_DIGEST_SIZE];
    sha256_digest(&m_context->ctx, SHA256_DIGEST_SIZE, digest);
    return QByteArray(reinterpret_cast<const char*>(digest), SHA256_DIGEST_SIZE).toHex();
}

Result<QByteArray> Sha256OfFile(const QString& path)
{
    QFile file;
    if (auto opened = OpenRegularFile(file, path); !opened)
        return Fail(opened.error());
    Sha256 hash;
    std::vector<char> block(1 << 20);
    for (;;) {
        const qint64 got = file.read(block.data(), qint64(block.size()));
        if (got < 0)
            return Fail(Failure::Because(file.errorString()));
        if (got == 0)
            break;
        hash.Add(block.data(), got);
    }
    return hash.Hex();
}
