#pragma once
// The instrument's two measuring channels. Requests name a channel by its
// character: "1" for channel A, "2" for channel B.

namespace zir {

enum class Channel { A = 1, B = 2 };

constexpr char ChannelCharacter(Channel channel) { return channel == Channel::A ? '1' : '2'; }

} // namespace zir
