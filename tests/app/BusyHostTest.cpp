#include "app/BusyHost.h"

#include "RecordingBusyHost.h"

#include <gtest/gtest.h>
#include <optional>

namespace {

TEST(BusyHostTest, InnerScopesShowTheirOwnRangeAndHandTheOuterOneBack)
{
    RecordingBusyHost host;
    {
        BusyScope pass(host, true, 3, QStringLiteral("Image 1 of 3"));
        pass.Step(1);
        EXPECT_TRUE(host.Cancellable());
        {
            BusyScope load(host, false, 10, QStringLiteral("Loading a.jpg..."));
            EXPECT_EQ(host.Maximum(), 10);
            EXPECT_EQ(host.Value(), 0);
            load.Step(4, QStringLiteral("Resampling a.jpg..."));
            // Cancel stays offered while an uncancellable step runs inside a cancellable pass.
            EXPECT_TRUE(host.Cancellable());
            host.RequestCancel();
            EXPECT_TRUE(load.Cancelled());
        }
        EXPECT_TRUE(host.Busy());
        EXPECT_EQ(host.StatusText(), QStringLiteral("Image 1 of 3"));
        EXPECT_EQ(host.Maximum(), 3);
        EXPECT_EQ(host.Value(), 1);
        {
            // A new inner scope keeps the outer cancel.
            BusyScope write(host, false, 1024, QStringLiteral("Writing a.jpg..."));
            EXPECT_TRUE(write.Cancelled());
        }
    }
    EXPECT_FALSE(host.Busy());
    EXPECT_EQ(host.BusyEntries(), 1);
    // The request stays readable until the next outermost scope starts.
    EXPECT_TRUE(host.CancelRequested());
    {
        BusyScope next(host, false, 0, QString());
        EXPECT_FALSE(next.Cancelled());
        // A maximum of 0 keeps the range; an empty text shows a blank.
        EXPECT_EQ(host.Maximum(), 3);
        EXPECT_EQ(host.StatusText(), QStringLiteral(" "));
        EXPECT_FALSE(host.Cancellable());
    }
    EXPECT_EQ(host.Statuses(),
              (QStringList{QStringLiteral("Image 1 of 3"), QStringLiteral("Loading a.jpg..."),
                           QStringLiteral("Writing a.jpg..."), QStringLiteral(" ")}));
}

TEST(BusyHostTest, RestartStartsTheScopeOverWithoutLeavingIt)
{
    RecordingBusyHost host;
    BusyScope busy(host, false, 200, QStringLiteral("Writing x..."));
    busy.Step(150);
    busy.Restart(true, 100, QStringLiteral("Compressing Texture x..."));
    EXPECT_EQ(host.Value(), 0);
    EXPECT_EQ(host.Maximum(), 100);
    EXPECT_TRUE(host.Cancellable());
    EXPECT_EQ(host.BusyEntries(), 1);
}

TEST(BusyHostTest, FailuresAreShownInOrderAndCancelsNotAtAll)
{
    RecordingBusyHost host;
    Failure failure(QStringLiteral("The NVIDIA tool has timed out."), MessageIcon::Exclamation);
    failure.Then(QStringLiteral("Error calling the NVIDIA tool!"), MessageIcon::Critical)
        .Then(QStringLiteral("could not write"), MessageIcon::Exclamation,
              QStringLiteral("No space left on device"));
    failure.Retitle(QStringLiteral("Error writing image. Please check file permissions."),
                    MessageIcon::Exclamation);
    host.ShowFailure(failure);
    ASSERT_EQ(host.Messages().size(), 3);
    EXPECT_EQ(host.Icons(), (QList<MessageIcon>{MessageIcon::Exclamation, MessageIcon::Critical,
                                                MessageIcon::Exclamation}));
    EXPECT_EQ(host.Messages()[2].FullText(),
              QStringLiteral("Error writing image. Please check file permissions.\nNo space left on device"));
    EXPECT_EQ(failure.Notes().size(), 2);

    host.ClearMessages();
    host.ShowFailure(Failure::Cancelled());
    EXPECT_TRUE(host.Messages().isEmpty());
}

} // namespace
