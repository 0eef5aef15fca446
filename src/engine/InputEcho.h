#pragma once

// Messages that quote what the user typed or wrote into a file (a key, a
// value, a page list, an argument) quote a bounded part of it, so that a
// hostile or mistaken input of megabytes never becomes a message of
// megabytes.

#include <QString>

namespace InputEcho {

// Most characters (Unicode code points) of the user's text a message quotes.
constexpr int maxCharacters = 80;

// `text` itself when it has at most maxCharacters code points; otherwise
// its first maxCharacters code points followed by "…" (U+2026). A
// surrogate pair is never split. Pure; any thread.
QString bounded(const QString& text);

} // namespace InputEcho
