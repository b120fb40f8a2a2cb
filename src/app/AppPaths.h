#pragma once

#include <QString>

// Per-user folder for temporary and work files: $XDG_CACHE_HOME/Lumivale
// (~/.cache/Lumivale by default), created when asked for.
QString WorkFolder();
// Folder of the shipped data (catalogue, compressor): the executable's folder
// when it holds "lumivale.csv" or is the build tree's bin folder, else the
// installed share/lumivale folder.
QString DataFolder();
// nvcompress from the data folder when present and executable, else from PATH; "" when none.
QString FindCompressor();
