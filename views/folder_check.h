// The checks a capture or record folder passes before the settings take it.
#pragma once

#include <QString>

namespace views {

// The longest folder the settings files keep when read back.
inline constexpr int kMaxFolderLength = 199;

enum class FolderProblem {
    None,
    Invalid,       // not an absolute path, or too long to be read back
    ForbiddenChar, // holds * ? " < > |
    NotCreated,    // neither made nor there
    NoProbe,       // a probe file could not be written in it
    NotWritable,
};

// Makes the folder when it is missing; with `probe` also writes and removes
// a probe file in it.
FolderProblem CheckFolder(const QString& folder, bool probe);

} // namespace views
