// What the MQTT module's network thread hands to the program's loop: each
// event of a connection, in order, and a descriptor that becomes readable
// while any wait (on Windows an event's handle, set while any wait), so the
// loop's wait wakes for them. Posted from the network
// thread, taken on the loop; nothing else is shared between the two.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace tirevo {

struct LinkEvent {
    enum class Kind { Connected, Refused, Untrusted, Lost, Acknowledged, Message };
    Kind kind = Kind::Lost;
    uint64_t connection = 0;  // which connection of the link it belongs to
    int code = 0;             // the broker's refusal or the message id
    std::string text;         // the reason, or the message's topic
    std::string payload;
};

class LinkInbox {
public:
    LinkInbox();
    ~LinkInbox();
    LinkInbox(const LinkInbox&) = delete;
    LinkInbox& operator=(const LinkInbox&) = delete;

    // Readable while events wait (-1 when the system gave no pipe: the loop
    // then finds them at its next regular turn). On Windows the number of
    // an event's handle, set while events wait.
    int Fd() const { return readFd_; }
    // From any thread.
    void Post(LinkEvent event);
    // Everything posted so far, oldest first.
    std::vector<LinkEvent> Take();

private:
    // The system's side: the descriptor becomes ready, and no longer is.
    void Wake();
    void ClearWake();

    std::mutex mutex_;
    std::vector<LinkEvent> events_;
    int readFd_ = -1;
    int writeFd_ = -1;
};

}  // namespace tirevo
