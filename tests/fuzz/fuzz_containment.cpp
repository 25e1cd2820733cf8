// The containment rules on arbitrary paths, and the checks on arbitrary names
// below a real tree with a root, a sibling sharing its prefix and links out
// of it and round in it. Input: a path, a line break, a root.
//
// The rules must keep their laws on both platforms' forms: a root holds
// itself and whatever lies a separator below it, never a name that merely
// continues its last component; containment is transitive. The checks are
// held against the standard library's own resolution: a name the checks let
// a client reach resolves within the root, and a name they let a client
// create lands within it when it is made.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <system_error>

#include "access/containment.h"
#include "fuzz_check.h"

using kxr::access::PathRules;
namespace fs = std::filesystem;

static fs::path tree;

static bool SetUpTree() {
    tree = fs::temp_directory_path() / "kxr_fuzz_containment";
    std::error_code ignored;
    fs::remove_all(tree, ignored);
    for (const char* file : {"root/a.mov", "root/sub/b.mov", "root2/c.mov", "outside/secret.txt"}) {
        fs::create_directories((tree / file).parent_path());
        std::ofstream(tree / file) << "x";
    }
    fs::create_directory_symlink(tree / "outside", tree / "root" / "out", ignored);
    fs::create_directory_symlink(tree / "root", tree / "root" / "sub" / "loop", ignored);
    fs::create_symlink(tree / "nowhere", tree / "root" / "dangling", ignored);
    fs::create_directory_symlink(tree / "root", tree / "outside" / "in", ignored);
    tree = fs::canonical(tree);
    kxr::access::SetConfinement(true);
    kxr::access::SetRoots(kxr::access::RootKind::Browse, {(tree / "root").string()});
    return true;
}

static bool IsSeparator(char c, PathRules rules) {
    return c == '/' || (rules == PathRules::Windows && c == '\\');
}

static void CheckRules(std::string_view path, std::string_view root, PathRules rules) {
    using kxr::access::PathWithin;
    const bool within = PathWithin(path, root, rules);
    // The root's last character decides how it may be continued.
    if (!root.empty() && !IsSeparator(root.back(), rules)) {
        const std::string r(root);
        Require(PathWithin(r, r, rules));
        Require(PathWithin(r + "/" + std::string(path), r, rules));
        // A name that merely continues the root's last component.
        if (!path.empty() && !IsSeparator(path.front(), rules))
            Require(!PathWithin(r + std::string(path), r, rules));
    }
    // Transitive: path within root, root within its own first part.
    const size_t cut = root.find_last_of(rules == PathRules::Windows ? "/\\" : "/");
    if (within && cut != std::string_view::npos && cut > 0)
        Require(PathWithin(path, root.substr(0, cut), rules));
    if (rules == PathRules::Windows) {
        std::string upper(path);
        for (char& c : upper)
            c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c == '/' ? '\\' : c;
        Require(PathWithin(upper, root, rules) == within);
    }

    // The rest below a parent: two tails stay below exactly when each does.
    using kxr::access::TailStaysBelow;
    Require(TailStaysBelow(std::string(path) + "/" + std::string(root), rules) ==
            (TailStaysBelow(path, rules) && TailStaysBelow(root, rules)));
    Require(!TailStaysBelow(std::string(path) + "\\..", rules));

    std::string_view parent, last;
    if (kxr::access::SplitLastComponent(path, rules, &parent, &last)) {
        Require(parent.size() < path.size() && path.substr(0, parent.size()) == parent);
        Require(!last.empty() && last.find_first_of("/\\") == std::string_view::npos);
    }
    if (rules == PathRules::Posix)
        Require(kxr::access::NameIsOpenable(path, rules));
    else if (path.find(':', 2) != std::string_view::npos)
        Require(!kxr::access::NameIsOpenable(path, rules));
}

enum class Lands { Within, Outside, Unknown };

// Where the standard library's resolution of p lands; Unknown when it
// cannot resolve it (a component too long to exist, for one).
static Lands Resolved(const fs::path& p) {
    std::error_code error;
    const fs::path resolved = fs::weakly_canonical(p, error);
    if (error)
        return Lands::Unknown;
    const fs::path root = tree / "root";
    auto q = resolved.begin();
    for (auto r = root.begin(); r != root.end(); ++r, ++q)
        if (q == resolved.end() || *q != *r)
            return Lands::Outside;
    return Lands::Within;
}

static void CheckNames(const std::string& name) {
    if (name.size() > 512 || name.find('\0') != std::string::npos)
        return;
    const std::string full = (tree / "root").string() + "/" + name;
    // The platform layer takes "\\" as "/" on every system.
    std::string native = full;
    std::replace(native.begin(), native.end(), '\\', '/');
    const bool reachable = kxr::access::IsReachable(full);
    const bool outside = kxr::access::IsOutside(full);
    Require(!(reachable && outside));
    std::error_code error;
    if (reachable)
        Require(fs::exists(native, error) && Resolved(native) == Lands::Within);
    if (kxr::access::IsCreatable(full))
        Require(Resolved(native) != Lands::Outside);
}

void Fuzz(const uint8_t* data, size_t size) {
    static const bool ready = SetUpTree();
    if (!ready)
        return;
    const std::string text = Text(data, size);
    const size_t line = text.find('\n');
    const std::string path = text.substr(0, line);
    const std::string root = line == std::string::npos ? std::string() : text.substr(line + 1);
    CheckRules(path, root, PathRules::Posix);
    CheckRules(path, root, PathRules::Windows);
    CheckNames(path);
}
