// Settings files edited by hand, with the Layout value of the key
// "SOFTWARE\Quillmark" that each holds. The core's reader of the file is
// held to these; the desktop application's tests hold QSettings to the
// same answers, so the two readers cannot drift apart.
#pragma once

#include <optional>
#include <string>

namespace qmtest {

struct HandEditedSettings {
    const char* what;
    std::string text;
    std::optional<std::string> layout;  // none: no value
};

inline const HandEditedSettings kHandEditedSettings[] = {
    {"the key path as the section", "[SOFTWARE\\Quillmark]\nLayout=EXACT\n", "EXACT"},
    {"spaces and a comment", "; saved\n[ SOFTWARE ]\n  Quillmark\\Layout =  EXACT ; old: FLOWING\n", "EXACT"},
    {"CR LF and a byte order mark", "\xEF\xBB\xBF[SOFTWARE]\r\nQuillmark\\Layout=EXACT\r\n", "EXACT"},
    {"a line break inside quotes", "[SOFTWARE]\nQuillmark\\Layout=\"EX\nACT\"\nQuillmark\\X=1\n", "EX\nACT"},
    {"a continued line", "[SOFTWARE]\nQuillmark\\Layout=EX\\\nACT\n", "EXACT"},
    {"escapes, known and not", "[SOFTWARE]\nQuillmark\\Layout=\\x45\\130\\qACT\n", "EXACT"},
    {"unquoted padding goes, escaped padding stays", "[SOFTWARE]\nQuillmark\\Layout= \\x20\\x45XACT\\t \n", " EXACT\t"},
    {"the later of two lines", "[SOFTWARE]\nQuillmark\\Layout=FLOWING\nQuillmark\\Layout=EXACT\n", "EXACT"},
    {"the first spelling in sorted order", "[SOFTWARE]\nQuillmark\\layout=FLOWING\nQuillmark\\LAYOUT=EXACT\n",
     "EXACT"},
    {"a section reopened", "[SOFTWARE]\nQuillmark\\Layout=EXACT\n[Other]\nx=1\n[SOFTWARE]\ny=2\n", "EXACT"},
    {"an escaped backslash separates no groups", "[SOFTWARE%5CQuillmark]\nLayout=EXACT\n", std::nullopt},
    {"a value made of a list", "[SOFTWARE]\nQuillmark\\Layout=EX, \"A, C\" ,T\n", "EX,A, C,T"},
    {"an invalid value", "[SOFTWARE]\nQuillmark\\Layout=@Invalid()\n", ""},
    {"a list of other types", "[SOFTWARE]\nQuillmark\\Layout=@Rect(1 2 3 4), x\n", ""},
    {"an unclosed section spoils the file", "[SOFTWARE]\nQuillmark\\Layout=EXACT\n[Other\n", std::nullopt},
    {"a line without '='", "[SOFTWARE]\nQuillmark\\Layout\n", std::nullopt},
    {"groups keep their case", "[software]\nquillmark\\Layout=EXACT\n", std::nullopt},
    {"an empty file", "", std::nullopt},
};

}  // namespace qmtest
