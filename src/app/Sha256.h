#pragma once

#include "app/Failure.h"

#include <QByteArray>
#include <QString>
#include <memory>

// SHA-256 over bytes fed in pieces.

class Sha256
{
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void Add(const char* data, qint64 size);
    // The digest as 64 lower-case hex digits; the object is spent afterwards.
    QByteArray Hex();

private:
    struct Context;
    std::unique_ptr<Context> m_context;
};

// The digest of a regular file's contents.
Result<QByteArray> Sha256OfFile(const QString& path);
