#pragma once
// Makes the file permissions bind this process even when it runs as root (as
// CI does): the capabilities that override them are taken out of its
// effective set, and put back when the guard goes. Without it a read-only
// directory is writable to root, and a test of one would test nothing.

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace lumo::test {

class PermissionsEnforced
{
public:
    PermissionsEnforced()
    {
        m_ok = syscall(SYS_capget, &m_header, m_saved) == 0;
        if (!m_ok) return;
        __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
        reduced[0].effective &=
            ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER));
        m_ok = syscall(SYS_capset, &m_header, reduced) == 0;
    }
    ~PermissionsEnforced()
    {
        if (m_ok) syscall(SYS_capset, &m_header, m_saved);
    }
    PermissionsEnforced(const PermissionsEnforced&) = delete;
    PermissionsEnforced& operator=(const PermissionsEnforced&) = delete;
    // False when the capabilities could not be changed (the test must then say so).
    bool ok() const { return m_ok; }

private:
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2]{};
    bool m_ok = false;
};

} // namespace lumo::test
