// Tags that open the messages between the candidate client and the exam server.
#pragma once

// Plain characters, so that text, bytes and string views alike compare with and prepend them.
namespace wire {

inline constexpr char tagAnnounce[] = "fINF";
inline constexpr char tagLogin[] = "infd";
inline constexpr char tagDuplicate[] = "lgMo";
// Instead of a transfer, when the server admits only the IDs of its roster; the server then closes.
inline constexpr char tagNotOnList[] = "lgNo";
inline constexpr char tagRequestFile[] = "rqsF";
inline constexpr char tagOver[] = "over";
inline constexpr char tagFinished[] = "finx";
inline constexpr char tagReport[] = "rprt";

} // namespace wire
