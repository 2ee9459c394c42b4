// FrameInterleave: one channel's big-endian samples into little-endian frames of 16-bit samples,
// channels interleaved.
//
//     InterleaveChannel(left, frames, count, 4, 1);   // frames whole: left, then 0
//     InterleaveChannel(right, frames, count, 4, 2);  // right beside it, left kept
//     PlaceChannel(right, frames, count, 4, 2);       // only right's bytes, whatever the rest
//     ChannelOf(frames, count, 4, 2, right);          // and back
//
// `frames` points at the first frame, `stride` is the frame's size in bytes (2 per channel) and
// `count` the number of samples. InterleaveChannel starts channel 1's frames afresh: the other
// channels' bytes become 0. PlaceChannel stores the channel's own two bytes of each frame and
// no other byte, for any channel: threads may fill the channels of the same frames at once.
#pragma once

#include <cstdint>

void InterleaveChannel(const std::uint8_t* in, std::uint8_t* frames, std::int64_t count, std::int64_t stride,
                       std::uint16_t channel);
void PlaceChannel(const std::uint8_t* in, std::uint8_t* frames, std::int64_t count, std::int64_t stride,
                  std::uint16_t channel);
// Stereo frames whole from both channels' samples, `count` of them.
// forOtherCore: the frames go out past this core's cache, for a core that reads them next.
void InterleaveStereo(const std::uint8_t* left, const std::uint8_t* right, std::uint8_t* frames, std::int64_t count,
                      bool forOtherCore = false);
// `bytes` of frames made in this core's cache copied to `to`, past the cache, for a core that
// reads them next.
void CopyFramesForOtherCore(const std::uint8_t* from, std::uint8_t* to, std::int64_t bytes);
// The other way: the channel's samples out of the frames, big-endian again.
void ChannelOf(const std::uint8_t* frames, std::int64_t count, std::int64_t stride, std::uint16_t channel,
               std::uint8_t* out);
