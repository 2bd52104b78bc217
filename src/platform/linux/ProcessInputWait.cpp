#include "platform/linux/ProcessInputWait.hpp"

#include <fcntl.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <linux/sock_diag.h>
#include <linux/unix_diag.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>

namespace mosaiko {

namespace {

namespace fs = std::filesystem;

std::string readSmallFile(const fs::path& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The inodes of the sockets the process holds open.
std::set<std::uint64_t> socketInodes(long pid) {
    std::set<std::uint64_t> inodes;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
        const std::string target = fs::read_symlink(entry.path(), ec).string();
        if (ec || !target.starts_with("socket:[")) continue;
        inodes.insert(std::strtoull(target.c_str() + 8, nullptr, 10));
    }
    return inodes;
}

// Whether any of the Unix sockets `inodes` holds bytes nobody has read, as the kernel's socket
// diagnostics tell (listening sockets count their backlog there, and are left out); nothing when
// they cannot be asked.
std::optional<bool> anyUnread(const std::set<std::uint64_t>& inodes) {
    if (inodes.empty()) return false;
    const int fd = ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG);
    if (fd < 0) return std::nullopt;
    struct {
        nlmsghdr header;
        unix_diag_req request;
    } message{};
    message.header.nlmsg_len = sizeof message;
    message.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    message.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    message.request.sdiag_family = AF_UNIX;
    message.request.udiag_states = ~0u;
    message.request.udiag_show = UDIAG_SHOW_RQLEN;
    std::optional<bool> unread;
    if (::send(fd, &message, sizeof message, 0) == static_cast<ssize_t>(sizeof message)) {
        alignas(nlmsghdr) std::array<char, 32768> buffer{};
        bool done = false;
        while (!done) {
            const ssize_t length = ::recv(fd, buffer.data(), buffer.size(), 0);
            if (length <= 0) break;
            auto left = static_cast<unsigned>(length);
            for (auto* header = reinterpret_cast<nlmsghdr*>(buffer.data()); NLMSG_OK(header, left);
                 header = NLMSG_NEXT(header, left)) {
                if (header->nlmsg_type == NLMSG_DONE || header->nlmsg_type == NLMSG_ERROR) {
                    done = true;
                    break;
                }
                const auto* socket = static_cast<const unix_diag_msg*>(NLMSG_DATA(header));
                if (!inodes.count(socket->udiag_ino) || socket->udiag_state == 10 /* listening */) continue;
                unread = unread.value_or(false);
                auto attributesLength = static_cast<int>(header->nlmsg_len - NLMSG_LENGTH(sizeof *socket));
                for (auto* attribute = reinterpret_cast<rtattr*>(const_cast<unix_diag_msg*>(socket) + 1);
                     RTA_OK(attribute, attributesLength); attribute = RTA_NEXT(attribute, attributesLength)) {
                    if (attribute->rta_type != UNIX_DIAG_RQLEN) continue;
                    unix_diag_rqlen queue{};
                    std::memcpy(&queue, RTA_DATA(attribute), sizeof queue);
                    if (queue.udiag_rqueue > 0) unread = true;
                }
            }
        }
    }
    ::close(fd);
    return unread;
}

// The descriptor a poll on one descriptor waits on, read from the pollfd at `address` in the
// process's memory; nothing when that cannot be read.
std::optional<int> polledDescriptor(long pid, std::uint64_t address) {
    const int memory = ::open(("/proc/" + std::to_string(pid) + "/mem").c_str(), O_RDONLY | O_CLOEXEC);
    if (memory < 0) return std::nullopt;
    pollfd polled{};
    const ssize_t length = ::pread(memory, &polled, sizeof polled, static_cast<off_t>(address));
    ::close(memory);
    if (length != static_cast<ssize_t>(sizeof polled)) return std::nullopt;
    return polled.fd;
}

bool isSocket(long pid, int descriptor) {
    std::error_code ec;
    const auto target =
        fs::read_symlink("/proc/" + std::to_string(pid) + "/fd/" + std::to_string(descriptor), ec).string();
    return target.starts_with("socket:");
}

}  // namespace

ProcessInputWait::Call ProcessInputWait::waitIn(std::string_view systemCall) {
    std::istringstream fields{std::string(systemCall)};
    long number = -1;
    std::string first, second;
    if (!(fields >> number >> first >> second)) return {};  // "running", or nothing
    const unsigned long descriptors = std::strtoul(second.c_str(), nullptr, 16);
    switch (number) {
#ifdef SYS_select
        case SYS_select:
#endif
#ifdef SYS_epoll_wait
        case SYS_epoll_wait:
#endif
#ifdef SYS_epoll_pwait2
        case SYS_epoll_pwait2:
#endif
        case SYS_pselect6:
        case SYS_epoll_pwait:
            return {Call::eventLoop};
#ifdef SYS_poll
        case SYS_poll:
#endif
        case SYS_ppoll:
            if (descriptors > 1) return {Call::eventLoop};
            if (descriptors == 1) return {Call::onePoll, std::strtoull(first.c_str(), nullptr, 16)};
            return {};
        default:
            return {};
    }
}

std::optional<std::uint64_t> ProcessInputWait::switchesIn(std::string_view status) {
    std::optional<std::uint64_t> switches;
    std::istringstream lines{std::string(status)};
    std::string line;
    while (std::getline(lines, line)) {
        for (std::string_view name : {"voluntary_ctxt_switches:", "nonvoluntary_ctxt_switches:"}) {
            if (line.starts_with(name))
                switches = switches.value_or(0) + std::strtoull(line.c_str() + name.size(), nullptr, 10);
        }
    }
    return switches;
}

std::optional<ProcessInputWait> ProcessInputWait::of(long pid) {
    if (pid <= 0) return std::nullopt;
    const fs::path thread = "/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid);
    const auto switches = switchesIn(readSmallFile(thread / "status"));
    const std::string systemCall = readSmallFile(thread / "syscall");
    if (!switches || systemCall.empty()) return std::nullopt;
    ProcessInputWait wait;
    wait.switches = *switches;
    // Asleep (not stopped, nor about to run) in the wait of its event loop.
    const std::string stat = readSmallFile(thread / "stat");
    const auto state = stat.rfind(") ");
    if (state == std::string::npos || stat.compare(state + 2, 1, "S") != 0) return wait;
    const Call call = waitIn(systemCall);
    if (call.kind == Call::other) return wait;
    if (call.kind == Call::onePoll) {
        const auto descriptor = polledDescriptor(pid, call.pollAddress);
        if (!descriptor) return std::nullopt;
        if (isSocket(pid, *descriptor)) return wait;
    }
    const auto unread = anyUnread(socketInodes(pid));
    if (!unread) return std::nullopt;
    wait.waiting = !*unread;
    return wait;
}

}  // namespace mosaiko
