#pragma once
// Answers echo no address, so an answer still owed to an earlier send of a
// request would pass for the acknowledgement of the next request. A request
// that needed more than one send is followed by a drain of the answers its
// other sends may still get.
//
// The rule: the controller answers in order, so the answer taken was, at
// worst, the one to the first send, late by L (from the first send to the
// acceptance). The answers still owed belong to later sends; each is drained
// until the last send is L plus one poll window old.
//
// Limit: an owed answer later than that (the controller slowing down by more
// than a poll window between two sends of one request) still passes for the
// next request. The drain is bounded by L plus one poll window.
#include <cstdint>

class UpdateSession;

class SendRecord {
public:
    // Notes one send of the request, at the session clock's now.
    void Note(UpdateSession& session);
    // After the request was acknowledged: drains what the other sends may
    // still get. Nothing when there was only one send.
    void DrainOwedAnswers(UpdateSession& session) const;

private:
    std::uint64_t m_FirstMs = 0;
    std::uint64_t m_LastMs = 0;
    int m_Sends = 0;
};
