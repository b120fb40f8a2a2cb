#include "texture/TextureFormat.h"

#include <gtest/gtest.h>

namespace {

QByteArray WithZero(const char* text)
{
    QByteArray bytes(text);
    bytes.append('\0');
    return bytes;
}

TEST(TextureFormat, LoadingScreenHeadersMatchTheGameLayout)
{
    const auto login = EncodeTextureName(QStringLiteral("texture_library/GUI/CREATION/HybridUI/LoginScreen/"),
                                         QStringLiteral("COH_LogInScreen_Background"));
    ASSERT_TRUE(login);
    const QByteArray loginExpected =
        QByteArray::fromHex("71000000"
                            "80004000"
                            "00040000"
                            "00030000"
                            "00000000000000000000000000"
                            "545832") +
        WithZero("texture_library/GUI/CREATION/HybridUI/LoginScreen/COH_LogInScreen_Background.dds");
    EXPECT_EQ(TextureHeader(4194432, 1024, 768, *login, false), loginExpected);
    EXPECT_EQ(loginExpected.size(), 113);

    const auto character =
        EncodeTextureName(QStringLiteral("texture_library/GUI/CREATION/HybridUI/CharacterCreationUI/"),
                          QStringLiteral("background"));
    ASSERT_TRUE(character);
    const QByteArray header = TextureHeader(524416, 1024, 768, *character, false);
    ASSERT_EQ(header.size(), 105);
    EXPECT_EQ(header.left(8), QByteArray::fromHex("69000000"
                                                  "80000800"));
    EXPECT_EQ(header.mid(32),
              WithZero("texture_library/GUI/CREATION/HybridUI/CharacterCreationUI/background.dds"));
}

TEST(TextureFormat, AlphaSetsOnlyByte28)
{
    const QByteArray plain = TextureHeader(10, 64, 32, "a/b", false);
    const QByteArray alpha = TextureHeader(10, 64, 32, "a/b", true);
    ASSERT_EQ(plain.size(), alpha.size());
    for (qsizetype i = 0; i < plain.size(); ++i) {
        if (i == 28)
            EXPECT_EQ(alpha[i], 1);
        else
            EXPECT_EQ(alpha[i], plain[i]) << "byte " << i;
    }
    EXPECT_EQ(plain.mid(16, 13), QByteArray(13, '\0'));
}

TEST(TextureFormat, NamesAreSingleByte)
{
    // Latin-1 letters keep their one byte; anything beyond, or a zero that
    // would end the name early, is refused.
    EXPECT_EQ(EncodeTextureName(QStringLiteral("tex/"), QString::fromUtf8("caf\u00e9")).value_or("?"),
              QByteArray("tex/caf\xe9"));
    EXPECT_FALSE(EncodeTextureName(QStringLiteral("tex/"), QString::fromUtf8("\u0141odz")));
    EXPECT_FALSE(EncodeTextureName(QStringLiteral("tex/"), QString::fromUtf8("\U0001F600")));
    EXPECT_FALSE(EncodeTextureName(QStringLiteral("tex/"), QString(QChar(0)) + QStringLiteral("x")));
}

TEST(TextureFormat, DdsAndTargaHeaders)
{
    const QByteArray dds = QByteArray::fromHex(
        "44445320"
        "7c000000"
        "07100000"
        "00030000"
        "00040000"
        "00000000"
        "00000000"
        "00000000"
        "0000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
        "20000000"
        "41000000"
        "00000000"
        "20000000"
        "0000ff00"
        "00ff0000"
        "ff000000"
        "000000ff"
        "00100000"
        "00000000000000000000000000000000");
    ASSERT_EQ(dds.size(), 128);
    EXPECT_EQ(DdsHeaderUncompressed(1024, 768), dds);

    EXPECT_EQ(TargaHeader(1024, 768), QByteArray::fromHex("000002"
                                                          "0000000000"
                                                          "00000000"
                                                          "0004"
                                                          "0003"
                                                          "20"
                                                          "2f"));
}

} // namespace
