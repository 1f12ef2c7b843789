#pragma once
// Stand-in for hidraw nodes: each open descriptor is one end of a
// SOCK_SEQPACKET socket pair (one read = one report, like hidraw) whose other
// end plays the device; the node list and the udev events are scripted.
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/linux/hidraw_system.h"

class FakeHidrawSystem final : public IHidrawSystem {
public:
    ~FakeHidrawSystem() override
    {
        for (auto& [name, node] : m_Nodes)
            for (int fd : node.deviceEnds)
                ::close(fd);
        for (int fd : m_MonitorFeeds)
            ::close(fd);
    }

    // Nodes are listed in the order they were added.
    void Add(const std::string& devnode, std::uint16_t vendorId, std::uint16_t productId)
    {
        std::lock_guard<std::mutex> guard(m_Mutex);
        m_Order.push_back(devnode);
        m_Nodes[devnode] = Node{vendorId, productId, false, {}};
    }
    void RefuseOpen(const std::string& devnode)
    {
        std::lock_guard<std::mutex> guard(m_Mutex);
        m_Nodes[devnode].refuseOpen = true;
    }
    void FailList() { m_FailList = true; }
    void FailMonitor() { m_FailMonitor = true; }

    // The device's end of the last descriptor opened on devnode, or -1.
    int DeviceEnd(const std::string& devnode)
    {
        std::lock_guard<std::mutex> guard(m_Mutex);
        const auto& ends = m_Nodes[devnode].deviceEnds;
        return ends.empty() ? -1 : ends.back();
    }
    // The device leaves: every descriptor on it sees a hang-up.
    void HangUp(const std::string& devnode)
    {
        std::lock_guard<std::mutex> guard(m_Mutex);
        for (int fd : m_Nodes[devnode].deviceEnds)
            ::close(fd);
        m_Nodes[devnode].deviceEnds.clear();
    }
    std::size_t OpenDescriptors()
    {
        std::lock_guard<std::mutex> guard(m_Mutex);
        return m_HostEnds.size();
    }
    // Queues a udev action ("add", "remove", "change") on every monitor.
    void SendEvent(const std::string& action)
    {
        std::lock_guard<std::mutex> guard(m_Mutex);
        for (int fd : m_MonitorFeeds)
            (void)::send(fd, action.data(), action.size(), MSG_NOSIGNAL);
    }

    bool ListNodes(std::vector<HidrawNode>& nodes) override
    {
        if (m_FailList) {
            errno = ENOMEM;
            return false;
        }
        std::lock_guard<std::mutex> guard(m_Mutex);
        nodes.clear();
        for (const std::string& devnode : m_Order)
            nodes.push_back({devnode, "/sys/class/hidraw/" + devnode.substr(5)});
        return true;
    }
    int OpenNode(const std::string& devnode, int flags) override
    {
        std::lock_guard<std::mutex> guard(m_Mutex);
        auto it = m_Nodes.find(devnode);
        if (it == m_Nodes.end() || it->second.refuseOpen) {
            errno = it == m_Nodes.end() ? ENOENT : EACCES;
            return -1;
        }
        int ends[2];
        const int type = SOCK_SEQPACKET | SOCK_CLOEXEC | ((flags & O_NONBLOCK) ? SOCK_NONBLOCK : 0);
        if (::socketpair(AF_UNIX, type, 0, ends) < 0)
            return -1;
        it->second.deviceEnds.push_back(ends[1]);
        m_HostEnds[ends[0]] = devnode;
        return ends[0];
    }
    void CloseNode(int fd) override
    {
        std::lock_guard<std::mutex> guard(m_Mutex);
        m_HostEnds.erase(fd);
        ::close(fd);
    }
    bool RawInfo(int fd, std::uint16_t& vendorId, std::uint16_t& productId) override
    {
        std::lock_guard<std::mutex> guard(m_Mutex);
        auto it = m_HostEnds.find(fd);
        if (it == m_HostEnds.end()) {
            errno = EBADF;
            return false;
        }
        vendorId = m_Nodes[it->second].vendorId;
        productId = m_Nodes[it->second].productId;
        return true;
    }
    std::unique_ptr<IHidrawMonitor> OpenMonitor() override
    {
        if (m_FailMonitor) {
            errno = EPERM;
            return nullptr;
        }
        int ends[2];
        if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, ends) < 0)
            return nullptr;
        std::lock_guard<std::mutex> guard(m_Mutex);
        m_MonitorFeeds.push_back(ends[1]);
        return std::make_unique<Monitor>(ends[0]);
    }

private:
    struct Node {
        std::uint16_t vendorId = 0;
        std::uint16_t productId = 0;
        bool refuseOpen = false;
        std::vector<int> deviceEnds;
    };
    class Monitor final : public IHidrawMonitor {
    public:
        explicit Monitor(int fd) : m_Fd(fd) {}
        ~Monitor() override { ::close(m_Fd); }
        int Fd() const override { return m_Fd; }
        HidrawEvent Receive() override
        {
            char action[32];
            const ssize_t n = ::recv(m_Fd, action, sizeof action, MSG_DONTWAIT);
            if (n <= 0)
                return HidrawEvent::None;
            const std::string text(action, static_cast<std::size_t>(n));
            if (text == "add")
                return HidrawEvent::Added;
            return text == "remove" ? HidrawEvent::Removed : HidrawEvent::Other;
        }

    private:
        int m_Fd;
    };

    std::mutex m_Mutex;
    std::vector<std::string> m_Order;
    std::map<std::string, Node> m_Nodes;
    std::map<int, std::string> m_HostEnds;
    std::vector<int> m_MonitorFeeds;
    bool m_FailList = false;
    bool m_FailMonitor = false;
};
