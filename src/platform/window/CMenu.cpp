#include "platform/window/CMenu.h"

#include "platform/window/CWnd.h"
#include "platform/window/ResourceModule.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sstream>

namespace {

constexpr unsigned int kNoItem = 0xFFFFFFFFu;

// Tokens of a resource script: words, numbers, quoted strings ("" inside is a quote),
// commas; comments start with // and run to the end of the line.
struct Token {
    enum Kind { Word, String, Comma, End } kind = End;
    std::string text;
    int line = 0;
};

class ScriptLexer {
public:
    explicit ScriptLexer(const std::string& text) : m_text(text) {}

    bool Next(Token& token, std::string& error)
    {
        SkipBlanks();
        token = Token{};
        token.line = m_line;
        if (m_pos >= m_text.size())
            return true;
        const char c = m_text[m_pos];
        if (c == ',') {
            ++m_pos;
            token.kind = Token::Comma;
            return true;
        }
        if (c == '"') {
            ++m_pos;
            token.kind = Token::String;
            while (true) {
                if (m_pos >= m_text.size() || m_text[m_pos] == '\n') {
                    error = "line " + std::to_string(token.line) + ": unterminated string";
                    return false;
                }
                if (m_text[m_pos] == '\\' && m_pos + 1 < m_text.size()) {
                    // The resource compiler's escapes: \t before an accelerator, \a for a
                    // right-aligned one, \\ for a backslash.
                    const char escaped = m_text[m_pos + 1];
                    if (escaped == 't' || escaped == 'a' || escaped == '\\') {
                        token.text += escaped == 't' ? '\t' : escaped == 'a' ? '\a' : '\\';
                        m_pos += 2;
                        continue;
                    }
                }
                if (m_text[m_pos] == '"') {
                    if (m_pos + 1 < m_text.size() && m_text[m_pos + 1] == '"') {
                        token.text += '"';
                        m_pos += 2;
                        continue;
                    }
                    ++m_pos;
                    return true;
                }
                token.text += m_text[m_pos++];
            }
        }
        token.kind = Token::Word;
        while (m_pos < m_text.size()) {
            const char w = m_text[m_pos];
            if (std::isspace(static_cast<unsigned char>(w)) || w == ',' || w == '"')
                break;
            token.text += w;
            ++m_pos;
        }
        return true;
    }

private:
    void SkipBlanks()
    {
        while (m_pos < m_text.size()) {
            const char c = m_text[m_pos];
            if (c == '\n') {
                ++m_line;
                ++m_pos;
            } else if (std::isspace(static_cast<unsigned char>(c))) {
                ++m_pos;
            } else if (c == '/' && m_pos + 1 < m_text.size() && m_text[m_pos + 1] == '/') {
                while (m_pos < m_text.size() && m_text[m_pos] != '\n')
                    ++m_pos;
            } else {
                break;
            }
        }
    }

    const std::string& m_text;
    size_t m_pos = 0;
    int m_line = 1;
};

bool IsWord(const Token& token, const char* word)
{
    if (token.kind != Token::Word)
        return false;
    const std::string& t = token.text;
    size_t i = 0;
    for (; word[i]; ++i)
        if (i >= t.size() || std::toupper(static_cast<unsigned char>(t[i])) != word[i])
            return false;
    return i == t.size();
}

bool ParseId(const Token& token, unsigned int& id)
{
    if (token.kind != Token::Word || token.text.empty())
        return false;
    char* end = nullptr;
    const unsigned long value = std::strtoul(token.text.c_str(), &end, 0);
    if (*end != '\0' || value > 0xFFFFu)
        return false;
    id = static_cast<unsigned int>(value);
    return true;
}

class ScriptParser {
public:
    explicit ScriptParser(const std::string& text) : m_lexer(text) {}

    bool ParseMenu(CMenu& menu, std::string& error)
    {
        // MENU [id] [options...] BEGIN ... END   or   id MENU ... BEGIN ... END
        if (!Advance(error))
            return false;
        while (m_token.kind != Token::End && !IsWord(m_token, "MENU") && !IsWord(m_token, "MENUEX"))
            if (!Advance(error))
                return false;
        if (m_token.kind == Token::End) {
            error = "line " + std::to_string(m_token.line) + ": no MENU in the script";
            return false;
        }
        while (!IsWord(m_token, "BEGIN") && m_token.text != "{") {
            if (!Advance(error))
                return false;
            if (m_token.kind == Token::End) {
                error = "line " + std::to_string(m_token.line) + ": MENU without BEGIN";
                return false;
            }
        }
        return ParseBody(menu, error, 0);
    }

private:
    bool Advance(std::string& error) { return m_lexer.Next(m_token, error); }

    bool Fail(std::string& error, const std::string& what)
    {
        error = "line " + std::to_string(m_token.line) + ": " + what;
        return false;
    }

    // Reads items after a BEGIN up to and including its END.
    bool ParseBody(CMenu& menu, std::string& error, int depth)
    {
        if (depth > 16)
            return Fail(error, "menus nested too deeply");
        if (!Advance(error))
            return false;
        while (true) {
            if (m_token.kind == Token::End)
                return Fail(error, "missing END");
            if (IsWord(m_token, "END") || m_token.text == "}")
                return Advance(error);
            if (IsWord(m_token, "MENUITEM")) {
                if (!ParseMenuItem(menu, error))
                    return false;
            } else if (IsWord(m_token, "POPUP")) {
                if (!Advance(error))
                    return false;
                if (m_token.kind != Token::String)
                    return Fail(error, "POPUP needs a quoted text");
                const std::string text = m_token.text;
                if (!Advance(error))
                    return false;
                bool grayed = false;
                while (m_token.kind == Token::Comma || IsWord(m_token, "GRAYED") ||
                       IsWord(m_token, "INACTIVE")) {
                    grayed = grayed || IsWord(m_token, "GRAYED") || IsWord(m_token, "INACTIVE");
                    if (!Advance(error))
                        return false;
                }
                if (!IsWord(m_token, "BEGIN") && m_token.text != "{")
                    return Fail(error, "POPUP \"" + text + "\" without BEGIN");
                CMenu popup;
                if (!ParseBody(popup, error, depth + 1))
                    return false;
                menu.AppendPopup(text.c_str(), popup);
                if (grayed)
                    menu.EnableMenuItem(static_cast<unsigned int>(menu.GetMenuItemCount() - 1),
                                        MF_BYPOSITION | MF_GRAYED);
            } else {
                return Fail(error, "unexpected '" + m_token.text + "'");
            }
        }
    }

    bool ParseMenuItem(CMenu& menu, std::string& error)
    {
        if (!Advance(error))
            return false;
        if (IsWord(m_token, "SEPARATOR")) {
            menu.AppendMenu(MF_SEPARATOR);
            return Advance(error);
        }
        if (m_token.kind != Token::String)
            return Fail(error, "MENUITEM needs a quoted text or SEPARATOR");
        const std::string text = m_token.text;
        if (!Advance(error))
            return false;
        if (m_token.kind != Token::Comma)
            return Fail(error, "MENUITEM \"" + text + "\" needs a comma and an id");
        if (!Advance(error))
            return false;
        unsigned int id = 0;
        if (!ParseId(m_token, id))
            return Fail(error, "bad id '" + m_token.text + "' for \"" + text + "\"");
        unsigned int flags = MF_STRING;
        if (!Advance(error))
            return false;
        while (m_token.kind == Token::Comma || IsWord(m_token, "GRAYED") ||
               IsWord(m_token, "CHECKED") || IsWord(m_token, "INACTIVE") ||
               IsWord(m_token, "MENUBREAK") || IsWord(m_token, "HELP")) {
            if (IsWord(m_token, "GRAYED") || IsWord(m_token, "INACTIVE"))
                flags |= MF_GRAYED;
            else if (IsWord(m_token, "CHECKED"))
                flags |= MF_CHECKED;
            if (!Advance(error))
                return false;
        }
        menu.AppendMenu(flags, id, text.c_str());
        return true;
    }

    ScriptLexer m_lexer;
    Token m_token;
};

} // namespace

CMenu::CMenu(const CMenu& other)
{
    *this = other;
}

CMenu& CMenu::operator=(const CMenu& other)
{
    if (this == &other)
        return *this;
    std::vector<Item> items;
    items.reserve(other.m_items.size());
    for (const Item& source : other.m_items) {
        Item item;
        item.id = source.id;
        item.text = source.text;
        item.separator = source.separator;
        item.checked = source.checked;
        item.radio = source.radio;
        item.grayed = source.grayed;
        if (source.popup)
            item.popup = std::make_unique<CMenu>(*source.popup);
        items.push_back(std::move(item));
    }
    m_items = std::move(items);
    return *this;
}

bool CMenu::LoadMenu(unsigned int id)
{
    m_items.clear();
    const ketra::window::ResourceModule* module = ketra::window::GetResourceHandle();
    if (!module)
        return false;
    const auto it = module->menus.find(id);
    if (it == module->menus.end())
        return false;
    std::string error;
    if (!LoadFromScript(it->second, &error)) {
        std::fprintf(stderr, "menu %u of %s: %s\n", id, module->name.c_str(), error.c_str());
        return false;
    }
    return true;
}

bool CMenu::LoadFromScript(const std::string& script, std::string* error)
{
    CMenu parsed;
    std::string message;
    ScriptParser parser(script);
    if (!parser.ParseMenu(parsed, message)) {
        m_items.clear();
        if (error)
            *error = message;
        return false;
    }
    *this = std::move(parsed);
    return true;
}

unsigned int CMenu::GetMenuItemID(int position) const
{
    if (position < 0 || position >= GetMenuItemCount())
        return kNoItem;
    const Item& item = m_items[static_cast<size_t>(position)];
    if (item.popup)
        return kNoItem;
    return item.separator ? 0 : item.id;
}

CMenu* CMenu::GetSubMenu(int position) const
{
    if (position < 0 || position >= GetMenuItemCount())
        return nullptr;
    return m_items[static_cast<size_t>(position)].popup.get();
}

CMenu::Item* CMenu::Find(unsigned int item, unsigned int flags, CMenu** owner, int* index)
{
    if (flags & MF_BYPOSITION) {
        if (item >= m_items.size())
            return nullptr;
        if (owner)
            *owner = this;
        if (index)
            *index = static_cast<int>(item);
        return &m_items[item];
    }
    for (size_t i = 0; i < m_items.size(); ++i) {
        Item& candidate = m_items[i];
        if (!candidate.separator && !candidate.popup && candidate.id == item) {
            if (owner)
                *owner = this;
            if (index)
                *index = static_cast<int>(i);
            return &candidate;
        }
        if (candidate.popup) {
            if (Item* found = candidate.popup->Find(item, flags, owner, index))
                return found;
        }
    }
    return nullptr;
}

const CMenu::Item* CMenu::Find(unsigned int item, unsigned int flags) const
{
    return const_cast<CMenu*>(this)->Find(item, flags);
}

std::string CMenu::GetMenuString(unsigned int item, unsigned int flags) const
{
    const Item* found = Find(item, flags);
    return found ? found->text : std::string();
}

unsigned int CMenu::GetMenuState(unsigned int item, unsigned int flags) const
{
    const Item* found = Find(item, flags);
    if (!found)
        return kNoItem;
    unsigned int state = 0;
    if (found->checked)
        state |= MF_CHECKED;
    if (found->grayed)
        state |= MF_GRAYED;
    if (found->popup)
        state |= MF_POPUP;
    if (found->separator)
        state |= MF_SEPARATOR;
    return state;
}

unsigned int CMenu::CheckMenuItem(unsigned int item, unsigned int flags)
{
    Item* found = Find(item, flags);
    if (!found)
        return kNoItem;
    const unsigned int previous = found->checked ? MF_CHECKED : MF_UNCHECKED;
    found->checked = (flags & MF_CHECKED) != 0;
    found->radio = false;
    return previous;
}

bool CMenu::CheckMenuRadioItem(unsigned int first, unsigned int last, unsigned int check,
                               unsigned int flags)
{
    if (flags & MF_BYPOSITION) {
        if (check < first || check > last || check >= m_items.size())
            return false;
        for (unsigned int i = first; i <= last && i < m_items.size(); ++i) {
            Item& item = m_items[i];
            item.checked = i == check;
            item.radio = i == check;
        }
        return true;
    }
    // By command: the ids are looked up in the menu that holds `check`, and the radio group
    // is the run of positions between `first` and `last` there.
    CMenu* owner = nullptr;
    int checkIndex = -1;
    if (!Find(check, MF_BYCOMMAND, &owner, &checkIndex))
        return false;
    int firstIndex = -1, lastIndex = -1;
    for (int i = 0; i < owner->GetMenuItemCount(); ++i) {
        const Item& item = owner->m_items[static_cast<size_t>(i)];
        if (item.separator || item.popup)
            continue;
        if (item.id == first && firstIndex < 0)
            firstIndex = i;
        if (item.id == last)
            lastIndex = i;
    }
    if (firstIndex < 0 || lastIndex < 0 || checkIndex < firstIndex || checkIndex > lastIndex)
        return false;
    for (int i = firstIndex; i <= lastIndex; ++i) {
        Item& item = owner->m_items[static_cast<size_t>(i)];
        item.checked = i == checkIndex;
        item.radio = i == checkIndex;
    }
    return true;
}

unsigned int CMenu::EnableMenuItem(unsigned int item, unsigned int flags)
{
    Item* found = Find(item, flags);
    if (!found)
        return kNoItem;
    const unsigned int previous = found->grayed ? MF_GRAYED : MF_ENABLED;
    found->grayed = (flags & (MF_GRAYED | MF_DISABLED)) != 0;
    return previous;
}

bool CMenu::DeleteMenu(unsigned int item, unsigned int flags)
{
    CMenu* owner = nullptr;
    int index = -1;
    if (!Find(item, flags, &owner, &index))
        return false;
    owner->m_items.erase(owner->m_items.begin() + index);
    return true;
}

bool CMenu::ModifyMenu(unsigned int item, unsigned int flags, unsigned int newId, const char* text)
{
    Item* found = Find(item, flags);
    if (!found)
        return false;
    if (flags & MF_SEPARATOR) {
        found->separator = true;
        found->text.clear();
        found->id = 0;
        found->popup.reset();
        return true;
    }
    if (!found->popup)
        found->id = newId;
    found->text = text ? text : "";
    found->grayed = (flags & (MF_GRAYED | MF_DISABLED)) != 0;
    found->checked = (flags & MF_CHECKED) != 0;
    return true;
}

bool CMenu::AppendMenu(unsigned int flags, unsigned int id, const char* text)
{
    Item item;
    if (flags & MF_SEPARATOR) {
        item.separator = true;
    } else {
        item.id = id;
        item.text = text ? text : "";
        item.grayed = (flags & (MF_GRAYED | MF_DISABLED)) != 0;
        item.checked = (flags & MF_CHECKED) != 0;
    }
    m_items.push_back(std::move(item));
    return true;
}

bool CMenu::AppendPopup(const char* text, const CMenu& popup)
{
    Item item;
    item.text = text ? text : "";
    item.popup = std::make_unique<CMenu>(popup);
    m_items.push_back(std::move(item));
    return true;
}

unsigned int CMenu::TrackPopupMenu(unsigned int flags, int x, int y, CWnd* owner) const
{
    if (!owner)
        return 0;
    const unsigned int chosen = owner->Port().TrackPopupMenu(*this, CPoint{x, y}, flags);
    if (flags & TPM_RETURNCMD)
        return chosen;
    if (chosen != 0)
        owner->OnCommand(chosen);
    return chosen != 0 ? 1 : 0;
}

std::vector<unsigned int> CMenu::CommandIds() const
{
    std::vector<unsigned int> ids;
    const std::function<void(const CMenu&)> walk = [&](const CMenu& menu) {
        for (const Item& item : menu.m_items) {
            if (item.popup)
                walk(*item.popup);
            else if (!item.separator)
                ids.push_back(item.id);
        }
    };
    walk(*this);
    return ids;
}
