#include "access/containment.h"

#include <atomic>
#include <cstdint>
#include <mutex>

#include "platform/kxr_path.h"
#include "platform/kxr_real_path.h"

namespace kxr::access {

namespace {

bool IsWindows(PathRules rules) {
    return rules == PathRules::Windows;
}

// Resolved paths: POSIX writes "/" only; Windows takes both.
bool IsResolvedSeparator(char c, PathRules rules) {
    return c == '/' || (IsWindows(rules) && c == '\\');
}

char FoldCase(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameChar(char a, char b, PathRules rules) {
    if (!IsWindows(rules)) {
        return a == b;
    }
    if (IsResolvedSeparator(a, rules) && IsResolvedSeparator(b, rules)) {
        return true;
    }
    return FoldCase(a) == FoldCase(b);
}

bool SameText(std::string_view a, std::string_view b, PathRules rules) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (!SameChar(a[i], b[i], rules)) {
            return false;
        }
    }
    return true;
}

std::string_view TrimTrailing(std::string_view path, PathRules rules) {
    while (!path.empty() && IsResolvedSeparator(path.back(), rules)) {
        path.remove_suffix(1);
    }
    return path;
}

bool HasDrive(std::string_view path) {
    const char c = path.empty() ? '\0' : FoldCase(path[0]);
    return path.size() >= 2 && c >= 'a' && c <= 'z' && path[1] == ':';
}

// Calls visit on every component of a name; either separator splits, as
// every platform file call splits. Stops at the first false.
template <typename Visit> bool EveryComponent(std::string_view path, Visit visit) {
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = start;
        while (end < path.size() && !platform::IsPathSeparator(path[end])) {
            ++end;
        }
        if (!visit(path.substr(start, end - start))) {
            return false;
        }
        start = end + 1;
    }
    return true;
}

bool HasWildcard(std::string_view name) {
    return name.find_first_of("*?") != std::string_view::npos;
}

// ---- the roots ----

struct Root {
    RootKind kind;
    std::string configured;
    std::string resolved; // empty until it resolves
};

std::atomic<bool> confinement{true};

struct RootTable {
    std::mutex lock;
    std::vector<Root> roots;
    // Counts the replacements, so that a resolution made meanwhile for an
    // older set is not stored over a newer one.
    uint64_t generation = 0;
};

// Made on first use: the file roots are set while the module's own static
// objects are still being made.
RootTable& Table() {
    static RootTable table;
    return table;
}

// The resolved roots. Roots not resolved yet are tried; with fresh, every
// root is resolved again (one that moved, or went away).
std::vector<std::string> ResolvedRoots(bool fresh) {
    RootTable& table = Table();
    std::vector<Root> copy;
    uint64_t seen = 0;
    {
        std::lock_guard<std::mutex> hold(table.lock);
        copy = table.roots;
        seen = table.generation;
    }
    bool changed = false;
    for (Root& root : copy) {
        if (!fresh && !root.resolved.empty()) {
            continue;
        }
        std::string resolved;
        if (!platform::ResolvePath(root.configured, &resolved)) {
            resolved.clear();
        }
        if (resolved != root.resolved) {
            root.resolved = std::move(resolved);
            changed = true;
        }
    }
    if (changed) {
        std::lock_guard<std::mutex> hold(table.lock);
        if (table.generation == seen) {
            table.roots = copy;
        }
    }
    std::vector<std::string> out;
    for (Root& root : copy) {
        if (!root.resolved.empty()) {
            out.push_back(std::move(root.resolved));
        }
    }
    return out;
}

bool WithinRoots(std::string_view resolved) {
    const PathRules rules = HostPathRules();
    // A refusal looks again at freshly resolved roots before it stands.
    for (const bool fresh : {false, true}) {
        for (const std::string& root : ResolvedRoots(fresh)) {
            if (PathWithin(resolved, root, rules)) {
                return true;
            }
        }
    }
    return false;
}

// A network path is opened only on a share that a root lies on: opening it
// anywhere else would make the server connect to a host the client chose.
bool OnARootShare(std::string_view path) {
    const PathRules rules = HostPathRules();
    const std::string_view share = UncShare(path, rules);
    if (share.empty()) {
        return true;
    }
    RootTable& table = Table();
    std::lock_guard<std::mutex> hold(table.lock);
    for (const Root& root : table.roots) {
        for (const std::string& known : {root.configured, root.resolved}) {
            if (SameText(UncShare(known, rules), share, rules)) {
                return true;
            }
        }
    }
    return false;
}

bool Openable(std::string_view path) {
    return NameIsOpenable(path, HostPathRules()) && OnARootShare(path);
}

} // namespace

// ---- the rules ----

PathRules HostPathRules() {
    return platform::kPathSeparator == '\\' ? PathRules::Windows : PathRules::Posix;
}

bool PathWithin(std::string_view path, std::string_view root, PathRules rules) {
    if (root.empty() || path.empty()) {
        return false;
    }
    const std::string_view base = TrimTrailing(root, rules);
    path = TrimTrailing(path, rules);
    if (base.empty()) {
        // The file system's own root holds every absolute path.
        return path.empty() || IsResolvedSeparator(path.front(), rules);
    }
    if (path.size() < base.size() || !SameText(path.substr(0, base.size()), base, rules)) {
        return false;
    }
    return path.size() == base.size() || IsResolvedSeparator(path[base.size()], rules);
}

std::string_view UncShare(std::string_view path, PathRules rules) {
    if (!IsWindows(rules) || path.size() < 3 || !platform::IsPathSeparator(path[0]) ||
        !platform::IsPathSeparator(path[1]) || platform::IsPathSeparator(path[2])) {
        return std::string_view();
    }
    size_t end = 2;
    for (int part = 0; part < 2 && end < path.size(); ++part) {
        if (part == 1) {
            ++end;
        }
        while (end < path.size() && !platform::IsPathSeparator(path[end])) {
            ++end;
        }
    }
    return path.substr(0, end);
}

bool NameIsOpenable(std::string_view path, PathRules rules) {
    if (!IsWindows(rules)) {
        return true;
    }
    // "\\?\", "\\.\" and "\??\": the verbatim and device namespaces.
    if (path.size() >= 3 && platform::IsPathSeparator(path[0]) &&
        ((platform::IsPathSeparator(path[1]) && (path[2] == '?' || path[2] == '.') &&
          (path.size() == 3 || platform::IsPathSeparator(path[3]))) ||
         (path[1] == '?' && path[2] == '?'))) {
        return false;
    }
    const size_t colon = path.find(':', HasDrive(path) ? 2 : 0);
    if (colon != std::string_view::npos) {
        return false;
    }
    return EveryComponent(HasDrive(path) ? path.substr(2) : path, [](std::string_view part) {
        return !platform::IsReservedDeviceName(part);
    });
}

bool TailStaysBelow(std::string_view tail, PathRules rules) {
    return EveryComponent(tail, [rules](std::string_view part) {
        if (!IsWindows(rules)) {
            return part != "..";
        }
        // Windows drops trailing dots and blanks: "..", ". ." and "... " all
        // come out as "." or "..".
        return part.empty() || part == "." ||
               part.find_first_not_of(". ") != std::string_view::npos;
    });
}

bool SplitLastComponent(std::string_view path, PathRules rules, std::string_view* parent,
                        std::string_view* last) {
    while (!path.empty() && platform::IsPathSeparator(path.back())) {
        path.remove_suffix(1);
    }
    const size_t prefix = IsWindows(rules) && HasDrive(path) ? 2 : 0;
    if (path.size() <= prefix) {
        return false;
    }
    size_t cut = path.size();
    while (cut > prefix && !platform::IsPathSeparator(path[cut - 1])) {
        --cut;
    }
    *last = path.substr(cut);
    // The separator stays with a parent that would otherwise be empty or a
    // bare drive: "/" and "C:\" are directories, "" and "C:" are not the same.
    size_t keep = cut;
    if (keep > prefix && platform::IsPathSeparator(path[keep - 1])) {
        --keep;
        while (keep > prefix && platform::IsPathSeparator(path[keep - 1])) {
            --keep;
        }
        if (keep == prefix) {
            keep = prefix + 1;
        }
    }
    *parent = path.substr(0, keep);
    return true;
}

// ---- the setting and the roots ----

void SetConfinement(bool on) {
    confinement.store(on);
}

bool ConfinementOn() {
    return confinement.load();
}

void SetRoots(RootKind kind, const std::vector<std::string>& paths) {
    RootTable& table = Table();
    std::lock_guard<std::mutex> hold(table.lock);
    std::vector<Root> kept;
    for (Root& root : table.roots) {
        if (root.kind != kind) {
            kept.push_back(std::move(root));
        }
    }
    for (const std::string& path : paths) {
        if (!path.empty()) {
            kept.push_back(Root{kind, path, std::string()});
        }
    }
    table.roots = std::move(kept);
    ++table.generation;
}

// ---- the checks ----

bool IsReachable(std::string_view path) {
    if (!ConfinementOn()) {
        return true;
    }
    std::string resolved;
    return Openable(path) && platform::ResolvePath(path, &resolved) && WithinRoots(resolved);
}

bool IsOutside(std::string_view path) {
    if (!ConfinementOn()) {
        return false;
    }
    if (!Openable(path)) {
        return true;
    }
    std::string resolved;
    if (platform::ResolvePath(path, &resolved)) {
        return !WithinRoots(resolved);
    }
    std::string_view parent;
    std::string_view last;
    if (!SplitLastComponent(path, HostPathRules(), &parent, &last) || !HasWildcard(last)) {
        return false;
    }
    return platform::ResolvePath(parent.empty() ? "." : parent, &resolved) &&
           !WithinRoots(resolved);
}

bool IsCreatable(std::string_view path) {
    if (!ConfinementOn()) {
        return true;
    }
    if (!Openable(path)) {
        return false;
    }
    const PathRules rules = HostPathRules();
    std::string_view existing = path;
    for (;;) {
        std::string resolved;
        if (platform::ResolvePath(existing.empty() ? "." : existing, &resolved)) {
            return WithinRoots(resolved) && TailStaysBelow(path.substr(existing.size()), rules);
        }
        std::string_view parent;
        std::string_view last;
        if (existing.empty() || !SplitLastComponent(existing, rules, &parent, &last)) {
            return false;
        }
        existing = parent;
    }
}

} // namespace kxr::access
