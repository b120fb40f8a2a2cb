#pragma once

#include <QString>

// "v" + major + "." + minor + " build " + revision, plain decimal ("v2.5 build 17").
QString GetVersionText(int major, int minor, int revision);
// The version of this build.
QString GetVersionText();
// The components this build is made with, one per line, joined with "\r\n".
QString CreditsText();
QString MaintainerMailAddress();
QString MaintainerName();
