#include "music/ui/MusicTab.h"

#include "Controls.h"
#include "SoundTools.h"
#include "WindowFixture.h"
#include "controls/ThemedFrame.h"
#include "music/MusicSave.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

namespace {

class MusicTabTest : public WindowFixture
{
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        // The work folder (converted.ogg) of this test alone.
        qputenv("XDG_CACHE_HOME", Path("cache").toLocal8Bit());
        m_store->Write("CohPath", Path("game"));
        QDir().mkpath(Path("sounds"));
    }
    void StartTab()
    {
        Start();
        m_window->show();
        Find<QTabWidget>("SSTab1")->setCurrentWidget(Find<MusicTab>());
        tab = Find<MusicTab>();
    }
    QString Song(const QString& name = QStringLiteral("song.mp3"), double seconds = 1.0)
    {
        const QString path = Path("sounds/" + name);
        EXPECT_TRUE(MakeSound(path, seconds, 44100, 2, {"-c:a", "libmp3lame", "-f", "mp3"}));
        return path;
    }
    void Choose(const QString& file)
    {
        m_nextFile = file;
        Control<QPushButton>(tab, "sndBrowse")->click();
    }
    QString Converted() const { return Path("cache/Lumivale/converted.ogg"); }

    MusicTab* tab = nullptr;
};

TEST_F(MusicTabTest, ControlsCarryTheirNamesCaptionsAndPlaces)
{
    StartTab();
    EXPECT_EQ(Control<ThemedFrame>(tab, "sndFrame")->Caption(), "Source sound file");
    EXPECT_EQ(Control<QPushButton>(tab, "sndBrowse")->text(), "Browse...");
    EXPECT_EQ(Control<QCheckBox>(tab, "sndFolder")->text(),
              "Pick random sound files from this folder for each track below");
    EXPECT_EQ(Control<ThemedFrame>(tab, "XPFrame7")->Caption(), "BoomBox");
    EXPECT_EQ(Control<ThemedFrame>(tab, "XPFrame10")->Caption(), "Login");
    EXPECT_EQ(Control<ThemedFrame>(tab, "XPFrame11")->Caption(), "Pocket D");
    EXPECT_EQ(Control<QPushButton>(tab, "sndSave")->text(), "Save selected tracks");
    EXPECT_FALSE(Control<QPushButton>(tab, "sndSave")->isEnabled());
    EXPECT_EQ(Control<QPushButton>(tab, "sndRestore")->text(), "Restore the game's music");
    EXPECT_FALSE(Control<QPushButton>(tab, "sndRestore")->isEnabled());
    const QStringList captions = {"Heroes login", "Villains login", "Praetorians login",
                                  "Dance floor",  "Blue side",      "Red side"};
    const QStringList names = {"sndHeroLogin",  "sndVillainLogin", "sndPraetorianLogin",
                               "sndDanceFloor", "sndBlueSide",     "sndRedSide"};
    // The Praetorian box stands under the two login boxes.
    EXPECT_EQ(Control<ThemedFrame>(tab, "XPFrame10")
                  ->layout()
                  ->indexOf(Control<QCheckBox>(tab, "sndPraetorianLogin")),
              2);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(tab->TargetBox(kHeroLogin + i)->text(), captions[i]);
        EXPECT_EQ(tab->TargetBox(kHeroLogin + i)->objectName(), names[i]);
    }
    // The BoomBox boxes in their columns and rows.
    auto* grid = qobject_cast<QGridLayout*>(Control<ThemedFrame>(tab, "XPFrame7")->layout());
    ASSERT_NE(grid, nullptr);
    for (int i = 0; i < kBoomBoxCount; ++i) {
        QCheckBox* box = Control<QCheckBox>(tab, "sndBoomBox", std::size_t(i));
        EXPECT_EQ(box->objectName(), QStringLiteral("sndBoomBox(%1)").arg(i));
        EXPECT_EQ(box->text(), kBoomBoxBoxes[std::size_t(i)].caption);
        int row = 0, column = 0, rows = 0, columns = 0;
        grid->getItemPosition(grid->indexOf(box), &row, &column, &rows, &columns);
        EXPECT_EQ(row + 1, kBoomBoxBoxes[std::size_t(i)].row) << i;
        EXPECT_EQ(column + 1, kBoomBoxBoxes[std::size_t(i)].column) << i;
    }
    EXPECT_EQ(Control<QCheckBox>(tab, "sndBoomBox", 3)->text(), "Dance");
    EXPECT_EQ(Control<QCheckBox>(tab, "sndBoomBox", 21)->text(), "Venus");
}

TEST_F(MusicTabTest, BrowseProbesTheFileAndRemembersItsFolder)
{
    m_store->Write("LastSoundDir", Path("elsewhere"));
    StartTab();
    // A cancelled dialog changes nothing, not even the folder.
    Choose(QString());
    EXPECT_EQ(m_lastRequest.initialFolder, Path("elsewhere"));
    EXPECT_EQ(m_lastRequest.filter, SoundFileFilter());
    EXPECT_TRUE(m_lastRequest.filter.startsWith("Sound files (mp1,mp2,mp3,mp4,m4a,aac,ogg,wav,wma)"));
    EXPECT_EQ(m_store->Read("LastSoundDir"), Path("elsewhere"));
    EXPECT_TRUE(Control<QLineEdit>(tab, "sndFile")->text().isEmpty());

    const QString song = Song();
    Choose(song);
    EXPECT_TRUE(m_messages.empty());
    EXPECT_EQ(Control<QLineEdit>(tab, "sndFile")->text(), song);
    EXPECT_EQ(tab->FileTag(), song);
    EXPECT_EQ(m_store->Read("LastSoundDir"), Path("sounds"));
    EXPECT_FALSE(Control<QPushButton>(tab, "sndSave")->isEnabled());
    Control<QCheckBox>(tab, "sndBoomBox", 4)->click();
    EXPECT_TRUE(Control<QPushButton>(tab, "sndSave")->isEnabled());
    Control<QCheckBox>(tab, "sndBoomBox", 4)->click();
    EXPECT_FALSE(Control<QPushButton>(tab, "sndSave")->isEnabled());

    // A file no decoder takes: the message, the old source kept, the folder remembered.
    QDir().mkpath(Path("other"));
    ASSERT_TRUE(WriteBytes(Path("other/fake.mp3"), QByteArray(4096, 'x')));
    Choose(Path("other/fake.mp3"));
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].text, NoDecoderMessage());
    EXPECT_TRUE(
        m_messages[0].text.startsWith("No suitable decoder for this file.\r\n\r\nThis error is normally"));
    EXPECT_EQ(m_messages[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(Control<QLineEdit>(tab, "sndFile")->text(), song);
    EXPECT_EQ(m_store->Read("LastSoundDir"), Path("other"));

    // The folder switch shows the folder of the chosen file, and back.
    Control<QCheckBox>(tab, "sndFolder")->click();
    EXPECT_EQ(Control<QLineEdit>(tab, "sndFile")->text(), Path("sounds"));
    Control<QCheckBox>(tab, "sndFolder")->click();
    EXPECT_EQ(Control<QLineEdit>(tab, "sndFile")->text(), song);
}

TEST_F(MusicTabTest, ASaveGreysItsTargetsAndTheCloseDeletesConvertedOgg)
{
    StartTab();
    Choose(Song());
    for (int target : {3, 21, static_cast<int>(kHeroLogin), static_cast<int>(kBlueSide)})
        tab->TargetBox(target)->click();
    ASSERT_TRUE(Control<QPushButton>(tab, "sndSave")->isEnabled());
    Control<QPushButton>(tab, "sndSave")->click();
    EXPECT_TRUE(m_messages.empty());
    for (int target : {3, 21, static_cast<int>(kHeroLogin), static_cast<int>(kBlueSide)})
        EXPECT_EQ(tab->TargetBox(target)->checkState(), Qt::PartiallyChecked) << target;
    EXPECT_EQ(Control<QCheckBox>(tab, "sndBoomBox", 0)->checkState(), Qt::Unchecked);
    EXPECT_FALSE(Control<QPushButton>(tab, "sndSave")->isEnabled());
    EXPECT_TRUE(OggInfoClean(Path("game/data/sound/Ogg/BoomBox/Track1_loop.ogg")));
    EXPECT_TRUE(OggInfoClean(Path("game/data/sound/Ogg/Rave/NewRave6_loop.ogg")));
    EXPECT_TRUE(QFileInfo::exists(Converted()));

    // A grey box ticked anew is written again.
    Control<QCheckBox>(tab, "sndBoomBox", 3)->click();
    EXPECT_EQ(Control<QCheckBox>(tab, "sndBoomBox", 3)->checkState(), Qt::Checked);
    EXPECT_TRUE(Control<QPushButton>(tab, "sndSave")->isEnabled());

    m_window->close();
    EXPECT_FALSE(QFileInfo::exists(Converted()));
}

TEST_F(MusicTabTest, UnwritableTargetsStayTickedAndCancelWritesNothing)
{
    StartTab();
    Choose(Song(QStringLiteral("long.mp3"), 30.0));
    // The BoomBox folder is blocked by a file.
    QDir().mkpath(Path("game/data/sound/Ogg"));
    ASSERT_TRUE(WriteBytes(Path("game/data/sound/Ogg/BoomBox"), "blocked"));
    Control<QCheckBox>(tab, "sndBoomBox", 0)->click();
    Control<QPushButton>(tab, "sndSave")->click();
    EXPECT_TRUE(m_messages.empty());
    EXPECT_EQ(Control<QCheckBox>(tab, "sndBoomBox", 0)->checkState(), Qt::Checked);
    EXPECT_TRUE(Control<QPushButton>(tab, "sndSave")->isEnabled());

    // Cancel while the conversion runs: no message, nothing written.
    Control<QCheckBox>(tab, "sndRedSide")->click();
    QTimer clicker;
    clicker.setInterval(20);
    QObject::connect(&clicker, &QTimer::timeout, [&] {
        if (m_window->Host().Busy() && Find<QPushButton>("Quit")->text() == "Cancel")
            Find<QPushButton>("Quit")->click();
    });
    clicker.start();
    Control<QPushButton>(tab, "sndSave")->click();
    clicker.stop();
    EXPECT_TRUE(m_messages.empty());
    EXPECT_EQ(Control<QCheckBox>(tab, "sndRedSide")->checkState(), Qt::Checked);
    EXPECT_FALSE(QFileInfo::exists(Path("game/data/sound/Ogg/Rave/NewRave3_loop.ogg")));
    EXPECT_FALSE(m_window->Host().Busy());
}

TEST_F(MusicTabTest, RandomModePicksFromTheFolder)
{
    m_store->Write("SoundFolder", " 1");
    StartTab();
    EXPECT_TRUE(Control<QCheckBox>(tab, "sndFolder")->isChecked());
    Song(QStringLiteral("one.mp3"));
    const QString two = Song(QStringLiteral("two.mp3"));
    Choose(two);
    // A browse shows the file whatever the switch; the switch then shows the folder.
    EXPECT_EQ(Control<QLineEdit>(tab, "sndFile")->text(), two);
    Control<QCheckBox>(tab, "sndFolder")->click();
    Control<QCheckBox>(tab, "sndFolder")->click();
    EXPECT_EQ(Control<QLineEdit>(tab, "sndFile")->text(), Path("sounds"));
    Control<QCheckBox>(tab, "sndVillainLogin")->click();
    Control<QPushButton>(tab, "sndSave")->click();
    EXPECT_TRUE(m_messages.empty());
    EXPECT_EQ(Control<QCheckBox>(tab, "sndVillainLogin")->checkState(), Qt::PartiallyChecked);
    // Three places, two files: the first two get one each.
    const QByteArray first = ReadAll(Path("game/data/sound/Ogg/FrontEnd/V_MenuMusic_loop.ogg"));
    const QByteArray second = ReadAll(Path("game/data/sound/Ogg/V_FrontEnd/V_Music1_loop.ogg"));
    EXPECT_FALSE(first.isEmpty());
    EXPECT_FALSE(second.isEmpty());
    EXPECT_NE(first, second);
    EXPECT_FALSE(QFileInfo::exists(Converted()));
}

TEST_F(MusicTabTest, RestoreGivesTheTickedTargetsTheGamesMusicBack)
{
    StartTab();
    const QString song = Path("sounds/tune.ogg");
    ASSERT_TRUE(MakeSound(song, 0.5, 44100, 2, {"-c:a", "libvorbis", "-f", "ogg"}));
    Choose(song);
    Control<QCheckBox>(tab, "sndPraetorianLogin")->click();
    Control<QCheckBox>(tab, "sndHeroLogin")->click();
    EXPECT_TRUE(Control<QPushButton>(tab, "sndRestore")->isEnabled());
    Control<QPushButton>(tab, "sndSave")->click();
    ASSERT_TRUE(m_messages.empty());
    const QString praetorian = Path("game/data/sound/Ogg/FrontEnd/N_MenuMusic_loop.ogg");
    const QString hero = Path("game/data/sound/Ogg/FrontEnd/H_MenuMusic_loop.ogg");
    EXPECT_EQ(ReadAll(praetorian), ReadAll(song));
    EXPECT_EQ(Control<QCheckBox>(tab, "sndPraetorianLogin")->checkState(), Qt::PartiallyChecked);
    EXPECT_FALSE(Control<QPushButton>(tab, "sndRestore")->isEnabled());

    // Both ticked again, one track changed since: the other target is the
    // game's again and unticked; the changed one is named and stays ticked.
    ASSERT_TRUE(WriteBytes(hero, "changed since"));
    Control<QCheckBox>(tab, "sndPraetorianLogin")->click();
    Control<QCheckBox>(tab, "sndHeroLogin")->click();
    Control<QPushButton>(tab, "sndRestore")->click();
    EXPECT_FALSE(QFileInfo::exists(praetorian));
    EXPECT_EQ(ReadAll(hero), "changed since");
    EXPECT_EQ(Control<QCheckBox>(tab, "sndPraetorianLogin")->checkState(), Qt::Unchecked);
    EXPECT_EQ(Control<QCheckBox>(tab, "sndHeroLogin")->checkState(), Qt::Checked);
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].text,
              LeftAloneMessage({hero}, QStringLiteral("track"), QStringLiteral("tracks")).text);
    EXPECT_TRUE(m_messages[0].detail.endsWith("FrontEnd/H_MenuMusic_loop.ogg"));
}

} // namespace
