// File access as an ordinary user for tests that run as root: root's
// capabilities to ignore file modes would hide every permission a test sets.
#pragma once

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

// The calling thread's capabilities, read or written (raw syscalls: the C
// library has no wrapper, and these act on one thread only).
inline bool ReadCapabilities(__user_cap_data_struct (&data)[_LINUX_CAPABILITY_U32S_3])
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return ::syscall(SYS_capget, &header, data) == 0;
}

inline bool WriteCapabilities(__user_cap_data_struct (&data)[_LINUX_CAPABILITY_U32S_3])
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return ::syscall(SYS_capset, &header, data) == 0;
}

// Takes away (on = false) or gives back the calling thread's power to read,
// write and search past file modes. Only the effective set changes, so the
// power can be given back; file checks that ask for the effective ids
// (faccessat with AT_EACCESS, open, mkdir) then see what a user would.
inline bool SetFileOverride(bool on)
{
    constexpr unsigned kOverride = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
    if (!ReadCapabilities(data))
        return false;
    data[0].effective =
        on ? (data[0].effective | (data[0].permitted & kOverride)) : (data[0].effective & ~kOverride);
    return WriteCapabilities(data);
}

// Gives up every capability for good, the permitted set too, so that even
// plain access() (which restores the permitted set for uid 0) sees the file
// modes: for a child process that runs as a user would.
inline bool DropAllCapabilities()
{
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
    return WriteCapabilities(data);
}
