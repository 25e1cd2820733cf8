// The configuration store: one TOML file held in memory as an ordered tree.
// toml++ parses the file, but its tables are sorted maps, so the tree keeps
// each table's entries in the order of their keys in the file and has its own
// writer; a write-back therefore never reorders the user's file. Whole-line
// comments travel with the entry below them; comments behind a value do not.
#include "kxr/rvutil.h"

#include <toml++/toml.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace {

namespace fs = std::filesystem;

enum class Kind { Table, String, Integer, Other };

struct Entry {
    std::string name;
    Kind kind = Kind::Table;
    std::string text;            // String: the value; Other: its TOML literal
    int64_t number = 0;          // Integer
    std::vector<Entry> children; // Table: entries in file order
    // Whole-line comments written above the entry ("#...\n" each); on the top
    // level table, the comments that end the file.
    std::string comments;
};

struct Store {
    std::mutex lock;
    Entry root;
    std::string filePath; // empty: no file chosen, the store lives in memory only
    bool writable = true; // cleared by a file that could not be loaded
};

// Never destroyed: other libraries may still read the store while the process exits.
Store& TheStore() {
    static Store* store = new Store;
    return *store;
}

constexpr int64_t kDwordMin = -2147483648LL;
constexpr int64_t kDwordMax = 4294967295LL;

bool IsDword(const Entry& e) {
    return e.kind == Kind::Integer && e.number >= kDwordMin && e.number <= kDwordMax;
}

uint32_t TypeOf(const Entry& e) {
    switch (e.kind) {
    case Kind::Table:
        return RV_CFG_TYPE_SUBKEY;
    case Kind::String:
        return RV_CFG_TYPE_STRING;
    case Kind::Integer:
        return IsDword(e) ? RV_CFG_TYPE_DWORD : RV_CFG_TYPE_OTHER;
    case Kind::Other:
        break;
    }
    return RV_CFG_TYPE_OTHER;
}

std::vector<std::string_view> SplitKeyPath(const char* keyPath) {
    std::vector<std::string_view> segments;
    if (keyPath == nullptr) {
        return segments;
    }
    std::string_view rest(keyPath);
    while (!rest.empty()) {
        const size_t cut = rest.find('\\');
        const std::string_view segment = rest.substr(0, cut);
        if (!segment.empty()) {
            segments.push_back(segment);
        }
        if (cut == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(cut + 1);
    }
    return segments;
}

Entry* FindChild(Entry& table, std::string_view name) {
    for (Entry& child : table.children) {
        if (child.name == name) {
            return &child;
        }
    }
    return nullptr;
}

Entry* FindTable(Entry& root, const char* keyPath) {
    Entry* table = &root;
    for (std::string_view segment : SplitKeyPath(keyPath)) {
        table = FindChild(*table, segment);
        if (table == nullptr || table->kind != Kind::Table) {
            return nullptr;
        }
    }
    return table;
}

Entry* FindValue(Entry& root, const char* keyPath, const char* valueName) {
    if (valueName == nullptr) {
        return nullptr;
    }
    Entry* table = FindTable(root, keyPath);
    return table == nullptr ? nullptr : FindChild(*table, valueName);
}

// ---- loading ----

std::string FloatLiteral(double value) {
    if (std::isnan(value)) {
        return "nan";
    }
    if (std::isinf(value)) {
        return value < 0 ? "-inf" : "inf";
    }
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    std::string literal(text, result.ptr);
    // The shortest form of 3.0 is "3", which would read back as an integer.
    if (literal.find_first_of(".eE") == std::string::npos) {
        literal += ".0";
    }
    return literal;
}

std::string OtherLiteral(const toml::node& node) {
    if (const auto* real = node.as_floating_point()) {
        return FloatLiteral(real->get());
    }
    std::ostringstream text;
    text << toml::toml_formatter{node, toml::format_flags::allow_unicode_strings |
                                           toml::format_flags::allow_binary_integers |
                                           toml::format_flags::allow_octal_integers |
                                           toml::format_flags::allow_hexadecimal_integers};
    return text.str();
}

// The file's lines, for finding the comments above each entry; a comment line
// belongs to the first entry (parents before children) that reaches it.
class CommentLines {
public:
    explicit CommentLines(std::string_view content) {
        while (!content.empty()) {
            const size_t end = content.find('\n');
            lines_.push_back(content.substr(0, end));
            content.remove_prefix(end == std::string_view::npos ? content.size() : end + 1);
        }
        claimed_.assign(lines_.size(), false);
    }

    // Comment lines above the 1-based line, over blank lines, up to anything else.
    std::string TakeAbove(size_t line) {
        std::vector<std::string_view> found;
        for (size_t i = std::min(line, lines_.size() + 1); i-- > 1;) {
            std::string_view text = lines_[i - 1];
            const size_t start = text.find_first_not_of(" \t");
            text.remove_prefix(start == std::string_view::npos ? text.size() : start);
            while (!text.empty() && (text.back() == '\r' || text.back() == ' ')) {
                text.remove_suffix(1);
            }
            if (text.empty()) {
                continue;
            }
            if (text.front() != '#' || claimed_[i - 1]) {
                break;
            }
            claimed_[i - 1] = true;
            found.push_back(text);
        }
        std::string comments;
        for (auto it = found.rbegin(); it != found.rend(); ++it) {
            comments.append(*it);
            comments += '\n';
        }
        return comments;
    }

    std::string TakeTrailing() { return TakeAbove(lines_.size() + 1); }

private:
    std::vector<std::string_view> lines_;
    std::vector<bool> claimed_;
};

void Convert(const toml::table& source, Entry& target, CommentLines& comments) {
    struct Item {
        toml::source_position at;
        const toml::key* key;
        const toml::node* node;
    };
    std::vector<Item> items;
    for (auto&& [key, node] : source) {
        items.push_back({key.source().begin, &key, &node});
    }
    // A key's first appearance in the file decides its place.
    std::stable_sort(items.begin(), items.end(), [](const Item& a, const Item& b) {
        return a.at.line != b.at.line ? a.at.line < b.at.line : a.at.column < b.at.column;
    });
    for (const Item& item : items) {
        Entry entry;
        entry.name = std::string(item.key->str());
        entry.comments = comments.TakeAbove(item.at.line);
        if (const auto* table = item.node->as_table()) {
            entry.kind = Kind::Table;
            Convert(*table, entry, comments);
        } else if (const auto* text = item.node->as_string()) {
            entry.kind = Kind::String;
            entry.text = text->get();
        } else if (const auto* number = item.node->as_integer()) {
            entry.kind = Kind::Integer;
            entry.number = number->get();
        } else {
            entry.kind = Kind::Other;
            entry.text = OtherLiteral(*item.node);
        }
        target.children.push_back(std::move(entry));
    }
}

std::string OneLine(std::string_view text) {
    std::string line(text);
    for (char& c : line) {
        if (static_cast<unsigned char>(c) < 0x20) {
            c = ' ';
        }
    }
    return line;
}

// ---- writing ----

bool IsValidUtf8(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        size_t length = 0;
        uint32_t code = 0;
        uint32_t least = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2, code = lead & 0x1F, least = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3, code = lead & 0x0F, least = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4, code = lead & 0x07, least = 0x10000;
        } else {
            return false;
        }
        if (i + length > text.size()) {
            return false;
        }
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            code = (code << 6) | (next & 0x3F);
        }
        if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return false;
        }
        i += length;
    }
    return true;
}

void AppendQuoted(std::string& out, std::string_view text) {
    static const char hex[] = "0123456789ABCDEF";
    out += '"';
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            if (byte < 0x20 || byte == 0x7F) {
                out += "\\u00";
                out += hex[byte >> 4];
                out += hex[byte & 0xF];
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

void AppendKey(std::string& out, std::string_view key) {
    const bool bare = !key.empty() && std::all_of(key.begin(), key.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
               c == '_' || c == '-';
    });
    if (bare) {
        out += key;
    } else {
        AppendQuoted(out, key);
    }
}

void AppendValue(std::string& out, const Entry& value) {
    switch (value.kind) {
    case Kind::String:
        AppendQuoted(out, value.text);
        break;
    case Kind::Integer:
        out += std::to_string(value.number);
        break;
    case Kind::Other:
        out += value.text;
        break;
    case Kind::Table:
        out += "{}";
        break;
    }
}

// Tables among their parent's values are written with dotted keys, which keeps
// them in their places; headers could only follow the parent's last value.
void WriteLines(std::string& out, const std::string& prefix, const std::vector<Entry>& entries,
                size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const Entry& entry = entries[i];
        std::string key = prefix;
        AppendKey(key, entry.name);
        out += entry.comments;
        if (entry.kind == Kind::Table && !entry.children.empty()) {
            WriteLines(out, key + ".", entry.children, entry.children.size());
            continue;
        }
        out += key;
        out += " = ";
        AppendValue(out, entry);
        out += '\n';
    }
}

// pending: comments of tables above this one that had no header of their own.
void WriteTable(std::string& out, const std::string& header, const Entry& table,
                std::string pending) {
    // Everything up to the last value belongs to the table's own section.
    size_t ownEnd = 0;
    for (size_t i = 0; i < table.children.size(); ++i) {
        if (table.children[i].kind != Kind::Table) {
            ownEnd = i + 1;
        }
    }
    if (!header.empty() && (ownEnd > 0 || table.children.empty())) {
        if (!out.empty()) {
            out += '\n';
        }
        out += pending;
        pending.clear();
        out += '[';
        out += header;
        out += "]\n";
    }
    WriteLines(out, "", table.children, ownEnd);
    for (size_t i = ownEnd; i < table.children.size(); ++i) {
        const Entry& child = table.children[i];
        std::string key;
        AppendKey(key, child.name);
        WriteTable(out, header.empty() ? key : header + "." + key, child, pending + child.comments);
        pending.clear();
    }
}

std::string WriteFile(const Entry& root) {
    std::string out;
    WriteTable(out, "", root, "");
    if (!root.comments.empty()) {
        if (!out.empty()) {
            out += '\n';
        }
        out += root.comments;
    }
    return out;
}

// Writes a temporary file beside the target and renames it over the target,
// so that readers see either the old or the new file, never a part of one.
bool SaveAtomically(const std::string& path, const std::string& text, std::string& failure) {
    std::error_code ec;
    fs::path target(path);
    if (fs::is_symlink(target, ec)) {
        fs::path real = fs::canonical(target, ec);
        if (!ec) {
            target = real;
        }
    }
    fs::path temporary = target;
    temporary += ".rvtmp";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        if (!file) {
            failure = "cannot create " + temporary.string();
            return false;
        }
        file.write(text.data(), static_cast<std::streamsize>(text.size()));
        file.close();
        if (!file) {
            failure = "cannot write " + temporary.string();
            fs::remove(temporary, ec);
            return false;
        }
    }
    const fs::file_status old = fs::status(target, ec);
    if (!ec && fs::exists(old)) {
        fs::permissions(temporary, old.permissions(), ec);
    }
    fs::rename(temporary, target, ec);
    if (ec) {
        failure = ec.message();
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return false;
    }
    return true;
}

// Applies one value write to a copy of the tree and saves it; the store takes
// the copy only once it is saved, so memory and file never disagree.
int32_t WriteValue(int32_t root, const char* keyPath, const char* valueName, Entry value) {
    if (root != RV_CFG_ROOT || valueName == nullptr || *valueName == '\0' ||
        !IsValidUtf8(valueName) || (keyPath != nullptr && !IsValidUtf8(keyPath)) ||
        !IsValidUtf8(value.text)) {
        return 1;
    }
    value.name = valueName;
    std::string failure;
    std::string path;
    {
        Store& store = TheStore();
        std::lock_guard<std::mutex> hold(store.lock);
        if (!store.writable) {
            return 1;
        }
        Entry updated = store.root;
        Entry* table = &updated;
        for (std::string_view segment : SplitKeyPath(keyPath)) {
            Entry* child = FindChild(*table, segment);
            if (child == nullptr) {
                Entry created;
                created.name = std::string(segment);
                table->children.push_back(std::move(created));
                child = &table->children.back();
            } else if (child->kind != Kind::Table) {
                return 1;
            }
            table = child;
        }
        if (Entry* existing = FindChild(*table, valueName)) {
            if (existing->kind == Kind::Table) {
                return 1;
            }
            value.comments = std::move(existing->comments);
            *existing = std::move(value);
        } else {
            // A new value ends the table's own section, ahead of its sub-tables.
            auto at = table->children.begin();
            for (auto it = table->children.begin(); it != table->children.end(); ++it) {
                if (it->kind != Kind::Table) {
                    at = std::next(it);
                }
            }
            table->children.insert(at, std::move(value));
        }
        if (!store.filePath.empty()) {
            if (!SaveAtomically(store.filePath, WriteFile(updated), failure)) {
                path = store.filePath;
            }
        }
        if (failure.empty()) {
            store.root = std::move(updated);
            return 0;
        }
    }
    ErrOut("Cannot save configuration file %s: %s", path.c_str(), OneLine(failure).c_str());
    return 1;
}

} // namespace

int32_t rvCFGOpen(const char* filePath) {
    std::string message;
    int32_t result = 0;
    try {
        Store& store = TheStore();
        std::lock_guard<std::mutex> hold(store.lock);
        store.root = Entry{};
        store.writable = true;
        store.filePath = filePath != nullptr ? filePath : "";
        if (store.filePath.empty()) {
            return 0;
        }
        std::error_code ec;
        const fs::file_status status = fs::status(store.filePath, ec);
        if (status.type() == fs::file_type::not_found) {
            return 0;
        }
        std::string content;
        std::ifstream file(store.filePath, std::ios::binary);
        if (!ec && fs::is_regular_file(status) && file) {
            content.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        }
        if (ec || !fs::is_regular_file(status) || !file || file.bad()) {
            message = "Cannot read configuration file " + store.filePath +
                      "; using an empty configuration, changes are not saved";
            store.writable = false;
            result = 1;
        } else {
            try {
                const toml::table parsed = toml::parse(content, std::string_view(store.filePath));
                CommentLines comments(content);
                Convert(parsed, store.root, comments);
                store.root.comments = comments.TakeTrailing();
            } catch (const toml::parse_error& error) {
                std::ostringstream line;
                line << "Malformed configuration file " << store.filePath << ':'
                     << error.source().begin.line << ':' << error.source().begin.column << ": "
                     << OneLine(error.description())
                     << "; using an empty configuration, changes are not saved";
                message = line.str();
                store.root = Entry{};
                store.writable = false;
                result = 1;
            }
        }
    } catch (...) {
        Store& store = TheStore();
        std::lock_guard<std::mutex> hold(store.lock);
        store.root = Entry{};
        store.writable = false;
        message = "Cannot load configuration file " + store.filePath +
                  "; using an empty configuration, changes are not saved";
        result = 1;
    }
    if (!message.empty()) {
        // Outside the lock: an error sink may itself read the store.
        ErrOut("%s", message.c_str());
    }
    return result;
}

int32_t rvCFGValueDword(int32_t root, const char* keyPath, const char* valueName,
                        uint32_t* valueInOut, int32_t write) {
    if (valueInOut == nullptr) {
        return 1;
    }
    try {
        if (write) {
            Entry value;
            value.kind = Kind::Integer;
            value.number = *valueInOut;
            return WriteValue(root, keyPath, valueName, std::move(value));
        }
        if (root != RV_CFG_ROOT) {
            return 1;
        }
        Store& store = TheStore();
        std::lock_guard<std::mutex> hold(store.lock);
        const Entry* value = FindValue(store.root, keyPath, valueName);
        if (value == nullptr || !IsDword(*value)) {
            return 1;
        }
        *valueInOut = static_cast<uint32_t>(value->number);
        return 0;
    } catch (...) {
        return 1;
    }
}

int32_t rvCFGValueString(int32_t root, const char* keyPath, const char* valueName, char* buffer,
                         uint32_t* sizeInOut, int32_t write) {
    if (buffer == nullptr) {
        return 1;
    }
    try {
        if (write) {
            Entry value;
            value.kind = Kind::String;
            value.text = buffer;
            return WriteValue(root, keyPath, valueName, std::move(value));
        }
        if (root != RV_CFG_ROOT) {
            return 1;
        }
        Store& store = TheStore();
        std::lock_guard<std::mutex> hold(store.lock);
        const Entry* value = FindValue(store.root, keyPath, valueName);
        if (value == nullptr || value->kind != Kind::String) {
            return 1;
        }
        const size_t capacity =
            sizeInOut != nullptr && *sizeInOut != 0 ? *sizeInOut : RV_MAX_PATH + 1;
        const size_t copied = std::min(value->text.size(), capacity - 1);
        std::memcpy(buffer, value->text.data(), copied);
        buffer[copied] = '\0';
        if (sizeInOut != nullptr) {
            const size_t needed = value->text.size() + 1;
            *sizeInOut = needed > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(needed);
        }
        return 0;
    } catch (...) {
        return 1;
    }
}

uint32_t rvCFGGetNext(int32_t root, const char* keyPath, char* nameOut, const char* previousName,
                      uint32_t* typeOut) {
    if (root != RV_CFG_ROOT || nameOut == nullptr) {
        return RV_CFG_NO_ENTRY;
    }
    try {
        Store& store = TheStore();
        std::lock_guard<std::mutex> hold(store.lock);
        const Entry* table = FindTable(store.root, keyPath);
        if (table == nullptr) {
            return RV_CFG_NO_ENTRY;
        }
        size_t next = 0;
        if (previousName != nullptr && *previousName != '\0') {
            next = table->children.size();
            for (size_t i = 0; i < table->children.size(); ++i) {
                if (table->children[i].name == previousName) {
                    next = i + 1;
                    break;
                }
            }
        }
        if (next >= table->children.size()) {
            return RV_CFG_NO_ENTRY;
        }
        const Entry& entry = table->children[next];
        const size_t copied = std::min(entry.name.size(), static_cast<size_t>(RV_MAX_PATH - 1));
        std::memcpy(nameOut, entry.name.data(), copied);
        nameOut[copied] = '\0';
        if (typeOut != nullptr) {
            *typeOut = TypeOf(entry);
        }
        return 0;
    } catch (...) {
        return RV_CFG_NO_ENTRY;
    }
}

int32_t rvCFGHasSubKey(int32_t root, const char* path) {
    if (root != RV_CFG_ROOT) {
        return 0;
    }
    try {
        if (SplitKeyPath(path).empty()) {
            return 0;
        }
        Store& store = TheStore();
        std::lock_guard<std::mutex> hold(store.lock);
        return FindTable(store.root, path) != nullptr ? 1 : 0;
    } catch (...) {
        return 0;
    }
}
