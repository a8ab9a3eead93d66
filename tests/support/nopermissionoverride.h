#pragma once

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

// Root passes every permission check, so a test of refused access run as root would
// prove nothing. While this lives, the calling thread gives up that override and
// read-only folders and files refuse root as they refuse anyone. active() is false
// when the override could not be dropped; such a test should skip.
class NoPermissionOverride
{
public:
    NoPermissionOverride()
    {
        if (::geteuid() != 0) {
            m_active = true;
            return;
        }
        if (::syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        __user_cap_data_struct reduced[2] = { m_saved[0], m_saved[1] };
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        m_active = m_dropped = ::syscall(SYS_capset, &m_header, reduced) == 0;
    }
    ~NoPermissionOverride()
    {
        if (m_dropped)
            ::syscall(SYS_capset, &m_header, m_saved);
    }
    NoPermissionOverride(const NoPermissionOverride &) = delete;
    NoPermissionOverride &operator=(const NoPermissionOverride &) = delete;

    bool active() const { return m_active; }

private:
    __user_cap_header_struct m_header { _LINUX_CAPABILITY_VERSION_3, 0 };
    __user_cap_data_struct m_saved[2] {};
    bool m_active = false;
    bool m_dropped = false;
};
