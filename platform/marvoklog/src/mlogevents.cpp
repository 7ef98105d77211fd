#include "mlogevents.h"

// The order of each list is part of the record format: a record stores the
// index, so names may only ever be appended. Some names are deliberately
// prefixes of others (open/openat, su/sudo) and some stand in two kinds
// ("kill", "chmod"), as in the real subsystem.

namespace mlogpriv {
namespace {

const char *const userEvents[] = {
    "login",
    "logout",
    "login_console",
    "su",
    "sudo",
    "passwd",
    "useradd",
    "userdel",
    "usermod",
    "groupadd",
    "groupdel",
    "groupmod",
    "session_open",
    "session_close",
    "screen_lock",
    "screen_unlock",
    "chmod",
};

const char *const processEvents[] = {
    "execve",
    "execveat",
    "fork",
    "clone",
    "exit",
    "kill",
    "tkill",
    "ptrace",
    "setuid",
    "setgid",
    "setresuid",
    "setresgid",
    "setgroups",
    "capset",
    "prctl",
    "seccomp",
    "chroot",
    "setns",
    "unshare",
};

const char *const fileEvents[] = {
    "open",
    "openat",
    "creat",
    "unlink",
    "unlinkat",
    "rename",
    "renameat",
    "link",
    "symlink",
    "mkdir",
    "rmdir",
    "chmod",
    "fchmod",
    "chown",
    "fchown",
    "truncate",
    "setxattr",
    "removexattr",
    "mount",
    "umount",
};

const char *const customEvents[] = {
    "policy_load",
    "policy_change",
    "policy_reload",
    "module_load",
    "module_unload",
    "audit_start",
    "audit_stop",
    "audit_rotate",
    "time_change",
    "hostname_change",
    "firewall_change",
    "kill",
};

template <size_t N>
constexpr EventList makeList(const char *const (&names)[N], const char *marker)
{
    return EventList{names, int(N), marker};
}

const EventList lists[kindCount] = {
    makeList(userEvents, "[u]"),
    makeList(processEvents, "[p]"),
    makeList(fileEvents, "[f]"),
    makeList(customEvents, "[c]"),
};

} // namespace

const EventList *eventList(int kind)
{
    if (kind < 0 || kind >= kindCount)
        return nullptr;
    return &lists[kind];
}

} // namespace mlogpriv
