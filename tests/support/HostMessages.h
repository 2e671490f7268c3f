#pragma once

#include <string>
#include <utility>

// What the host says to the browser, as the end-to-end tests expect it.
namespace testsupport {

inline const std::string kOpen = "{\"command\":\"OPEN\"}";
// The richer capture: numbers in the reply, a time in every POINT, GONE when the pad goes.
inline const std::string kRichOpen = "{\"command\":\"OPEN2\"}";
inline const std::string kGone = "{\"command\":\"GONE\"}";
inline const std::string kGoodbye = "{\"text\":\"EXITING...\"}";
inline const std::string kZeroOpenReply =
    "{\"command\":\"OPEN\",\"status\":0,\"device\":0,\"maxx\":0,\"maxy\":0}";
// The OPEN reply under the default logical size.
inline const std::string kDefaultOpenReply =
    "{\"command\":\"OPEN\",\"status\":1,\"device\":1,\"maxx\":2150,\"maxy\":1400}";

// The reply to OPEN2 under the default logical size, for the numbers padsim sends by default.
inline const std::string kRichOpenReply =
    "{\"command\":\"OPEN\",\"status\":1,\"device\":1,\"maxx\":2150,\"maxy\":1400,"
    "\"serial\":123456,\"model\":5,\"protocol\":2}";

std::string PointMessage(int x, int y, int p);

// The text as one frame: its length in four little-endian bytes, then the text.
std::string Frame(const std::string& text);

// Where a raw pad point lands under the default window (500..2650 by 350..2100), logical size
// (2150 by 1400) and the given rotation, worked out independently of the host: scale, truncate
// toward zero, clamp.
std::pair<int, int> DefaultLogicalPoint(int x, int y, int rotation = 0);

}  // namespace testsupport
