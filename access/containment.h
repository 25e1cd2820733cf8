// Confinement: the files that a client may reach by naming them. Names that
// come from a client may lead only into the document root, the configured
// file roots and the engine's record directory; a file that the module or the
// engine names itself is not judged here.
//
// Where a name leads is decided on its resolved path (platform/
// kxr_real_path.h), so links, "..", short names and the other spellings of
// one file all end up where the system would take them. A link inside a root
// that points outside is outside; a link from elsewhere into a root is inside.
//
// The rules are pure functions, given the platform's path rules as a
// parameter, so that both platforms' path forms are tested anywhere. The
// checks below them use the roots that the module sets and the path rules of
// the platform the build runs on.
#ifndef KXR_ACCESS_CONTAINMENT_H
#define KXR_ACCESS_CONTAINMENT_H

#include <string>
#include <string_view>
#include <vector>

namespace kxr::access {

// ---- the rules ----

enum class PathRules { Posix, Windows };

// The rules of the platform this build runs on.
PathRules HostPathRules();

// True when path is root or lies below it. Both are resolved paths (absolute,
// without "." or ".." or links); root may end in a separator. Components
// compare whole, so /srv/media2 is not within /srv/media. Windows takes "/"
// as "\\" and compares letters without regard to case.
bool PathWithin(std::string_view path, std::string_view root, PathRules rules);

// The "\\server\share" that a UNC path begins with (either separator), or
// empty for every other path and on POSIX.
std::string_view UncShare(std::string_view path, PathRules rules);

// False for a name that is not even opened to be resolved, because opening
// it is itself the harm or it names no file on a disk. Windows: the device
// and verbatim forms ("\\?\", "\\.\", "\??\"), a colon other than a drive's
// (alternate data streams, "name::$DATA"), a reserved device name as any
// component ("CON", "nul.txt", "COM1 "). POSIX: every name is opened.
bool NameIsOpenable(std::string_view path, PathRules rules);

// True when the part of a new name below its nearest existing parent climbs
// nowhere: no ".." component, and on Windows no component of dots and blanks
// alone, which the system reads as "." or "..". Either separator splits.
bool TailStaysBelow(std::string_view tail, PathRules rules);

// Splits path at its last component: the parent (as written, possibly empty;
// on Windows "C:" for "C:name") and that component. Trailing separators are
// dropped first. False when there is no component left to split off.
bool SplitLastComponent(std::string_view path, PathRules rules, std::string_view* parent,
                        std::string_view* last);

// ---- the setting and the roots ----

// On by default; "[KXR.NetServer] Confine = 0" turns it off, and then every
// check below lets every name through, as before confinement existed.
void SetConfinement(bool on);
bool ConfinementOn();

enum class RootKind { Document, Browse };

// Replaces the roots of one kind (the document root; the file roots and the
// record directory). Each is resolved when a check first needs it, and again
// whenever a check would refuse, so a root that appears or moves later is
// found without a restart.
void SetRoots(RootKind kind, const std::vector<std::string>& paths);

// ---- the checks the routes make ----

// An existing file or directory that a client may read or list: its resolved
// path lies within a root. False for a name that does not resolve.
bool IsReachable(std::string_view path);

// A name that leads outside every root: it resolves there, or it is refused
// by NameIsOpenable. A name that does not exist is not outside (nothing can
// be read through it); a wildcard name ("clip*.dpx") is judged by its
// directory when it does not exist itself.
bool IsOutside(std::string_view path);

// A name that a client may create or have created, whether or not it
// exists: it resolves within a root, or its nearest existing parent does and
// the rest of the name stays below that parent.
bool IsCreatable(std::string_view path);

} // namespace kxr::access

#endif
