#include "text/Vocabulary.h"

namespace korvane {

const Vocabulary& Vocabulary::starter()
{
    // Spoken names of the symbols people dictate most; none contains a letter or digit, so the list
    // adds replacement rules without adding prompt terms.
    static const Vocabulary builtIn(std::vector<VocabularyEntry>{
        {"/", {"forward slash"}},
        {"\\", {"backslash", "back slash"}},
        {"-", {"hyphen"}},
        {"\u2014", {"em dash"}},
        {"\u2013", {"en dash"}},
        {"?", {"question mark"}},
        {"!", {"exclamation point", "exclamation mark"}},
        {";", {"semicolon"}},
        {"(", {"open paren", "open parenthesis", "left paren"}},
        {")", {"close paren", "close parenthesis", "right paren"}},
        {"[", {"open bracket", "open square bracket"}},
        {"]", {"close bracket", "close square bracket"}},
        {"{", {"open brace", "open curly brace", "left brace"}},
        {"}", {"close brace", "close curly brace", "right brace"}},
        {"@", {"at sign", "at symbol"}},
        {"#", {"hash sign", "number sign"}},
        {"$", {"dollar sign"}},
        {"%", {"percent sign"}},
        {"&", {"ampersand"}},
        {"*", {"asterisk"}},
        {"`", {"backtick", "back tick"}},
        {"~", {"tilde"}},
        {"|", {"vertical bar"}},
        {"\u00B0", {"degree sign"}},
    });
    return builtIn;
}

}  // namespace korvane
