#include "PropertyListStrings.h"

#include <cctype>
#include <optional>

namespace {

class Parser
{
public:
    explicit Parser(const std::string &text)
        : m_text(text)
    {
    }

    PropertyListStringsResult run()
    {
        PropertyListStringsResult result;
        skipSpace();
        while (m_error.empty() && !atEnd()) {
            std::optional<std::string> key = string();
            if (!key)
                break;
            skipSpace();
            std::string value = *key; // `"key";` stands for `"key" = "key";`
            if (peek() == '=') {
                ++m_position;
                skipSpace();
                std::optional<std::string> read = string();
                if (!read)
                    break;
                value = *read;
                skipSpace();
            }
            if (peek() != ';') {
                fail("expected ';'");
                break;
            }
            ++m_position;
            if (result.entries.count(*key))
                result.duplicateKeys.push_back(*key);
            result.entries[*key] = value;
            skipSpace();
        }
        result.ok = m_error.empty();
        result.error = m_error;
        if (!result.ok)
            result.entries.clear();
        return result;
    }

private:
    bool atEnd() const { return m_position >= m_text.size(); }
    char peek() const { return atEnd() ? '\0' : m_text[m_position]; }

    void fail(const std::string &what)
    {
        if (!m_error.empty())
            return;
        int line = 1;
        for (std::size_t i = 0; i < m_position && i < m_text.size(); ++i)
            line += m_text[i] == '\n';
        m_error = "line " + std::to_string(line) + ": " + what;
    }

    void skipSpace()
    {
        while (!atEnd()) {
            const char c = peek();
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
                ++m_position;
            } else if (m_text.compare(m_position, 2, "//") == 0) {
                while (!atEnd() && peek() != '\n')
                    ++m_position;
            } else if (m_text.compare(m_position, 2, "/*") == 0) {
                const std::size_t close = m_text.find("*/", m_position + 2);
                if (close == std::string::npos) {
                    fail("unterminated comment");
                    m_position = m_text.size();
                    return;
                }
                m_position = close + 2;
            } else if (m_position == 0 && m_text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
                m_position = 3;
            } else {
                return;
            }
        }
    }

    static bool isPlain(char c)
    {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$' || c == '+' ||
               c == '/' || c == ':' || c == '.' || c == '-';
    }

    static void appendUtf8(std::string &out, unsigned int code)
    {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }

    std::optional<std::string> string()
    {
        if (peek() != '"') {
            std::string plain;
            while (!atEnd() && isPlain(peek()))
                plain += m_text[m_position++];
            if (plain.empty()) {
                fail(std::string("unexpected character '") + peek() + "'");
                return std::nullopt;
            }
            return plain;
        }
        ++m_position;
        std::string out;
        while (true) {
            if (atEnd()) {
                fail("unterminated string");
                return std::nullopt;
            }
            const char c = m_text[m_position++];
            if (c == '"')
                return out;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (atEnd()) {
                fail("unterminated escape");
                return std::nullopt;
            }
            const char e = m_text[m_position++];
            switch (e) {
            case 'a':
                out += '\a';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'v':
                out += '\v';
                break;
            case '"':
            case '\'':
            case '\\':
                out += e;
                break;
            case 'U': {
                if (m_position + 4 > m_text.size()) {
                    fail("short \\U escape");
                    return std::nullopt;
                }
                unsigned int code = 0;
                for (int i = 0; i < 4; ++i) {
                    const char h = m_text[m_position++];
                    if (!std::isxdigit(static_cast<unsigned char>(h))) {
                        fail("bad \\U escape");
                        return std::nullopt;
                    }
                    code = code * 16 +
                           static_cast<unsigned int>(std::isdigit(static_cast<unsigned char>(h))
                                                         ? h - '0'
                                                         : std::tolower(h) - 'a' + 10);
                }
                appendUtf8(out, code);
                break;
            }
            default:
                if (e >= '0' && e <= '7') {
                    unsigned int code = static_cast<unsigned int>(e - '0');
                    for (int i = 0; i < 2 && peek() >= '0' && peek() <= '7'; ++i)
                        code = code * 8 + static_cast<unsigned int>(m_text[m_position++] - '0');
                    appendUtf8(out, code);
                } else {
                    out += e; // an unknown escape stands for the character itself
                }
            }
        }
    }

    const std::string &m_text;
    std::size_t m_position = 0;
    std::string m_error;
};

} // namespace

PropertyListStringsResult PropertyListStrings::parse(const std::string &utf8)
{
    return Parser(utf8).run();
}
