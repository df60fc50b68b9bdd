// How every tab hears each change of the one document: a channel per tab
// that the server pushes whole states down, whichever tab made the change.
// A tab holds a WebSocket (which costs none of the six connections a browser
// opens to one host), or else a server-sent event stream. Part of the
// server: everything here runs on its I/O thread.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace nacrelle::tools::studio {

/// Channels held at once; one more closes the oldest (its page opens it
/// again when it is still there). Far more tabs than anyone opens.
inline constexpr std::size_t kMaxPushChannels = 256;

/// One state, in the forms the channels send it.
struct PushedState {
    std::shared_ptr<const std::string> json;   ///< a WebSocket's text message
    std::shared_ptr<const std::string> event;  ///< "data: ...\n\n", a server-sent event
};

/// One tab's channel. States are whole, so a client that reads slowly gets
/// the newest one next and misses nothing it needs.
class PushChannel {
public:
    virtual ~PushChannel() = default;
    /// Queues `state`, replacing one not yet written.
    virtual void send(const PushedState& state) = 0;
    virtual void close() = 0;
    virtual bool closed() const = 0;
};

/// The channels of every tab.
class PushChannels {
public:
    void add(std::shared_ptr<PushChannel> channel);
    /// Sends `state` (JSON text) to every channel.
    void publish(const std::string& state);
    void closeAll();

private:
    void dropClosed();
    std::vector<std::shared_ptr<PushChannel>> channels_;
};

}  // namespace nacrelle::tools::studio
