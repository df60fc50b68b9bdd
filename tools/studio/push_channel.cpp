#include "studio/push_channel.h"

#include <algorithm>

#include "studio/event_stream.h"

namespace nacrelle::tools::studio {

void PushChannels::dropClosed() {
    std::erase_if(channels_, [](const std::shared_ptr<PushChannel>& c) { return c->closed(); });
}

void PushChannels::add(std::shared_ptr<PushChannel> channel) {
    dropClosed();
    if (channels_.size() >= kMaxPushChannels) {
        channels_.front()->close();
        channels_.erase(channels_.begin());
    }
    channels_.push_back(std::move(channel));
}

void PushChannels::publish(const std::string& state) {
    dropClosed();
    const PushedState pushed{std::make_shared<const std::string>(state),
                             std::make_shared<const std::string>(serverSentEvent(state))};
    for (const std::shared_ptr<PushChannel>& channel : channels_) channel->send(pushed);
}

void PushChannels::closeAll() {
    for (const std::shared_ptr<PushChannel>& channel : channels_) channel->close();
    channels_.clear();
}

}  // namespace nacrelle::tools::studio
