// A candidate's side of the fetch and submit exchanges, as a state machine over messages and bytes.
#pragma once

#include <QString>

#include <cstdint>
#include <string>
#include <string_view>

namespace loadgen {

// The candidate's reaction to one event.
struct Step {
    enum class What {
        Nothing,       // an ignored message
        Send,          // send `bytes` on the message connection
        PaperReceived, // a whole paper arrived; send `bytes` ("over" + name)
        Fetched,       // "finx" ended the fetch: close the message connection
        Submitted,     // "finx" confirmed the result: close the message connection
        Failed,        // the exchange cannot go on: `why`
    };
    What what = What::Nothing;
    std::string bytes;
    std::string why;
};

// Every arrival on the message connection is one message, as the wire protocol has it.
// The file connection only carries the paper's bytes, whose end is the announced length.
class CandidateExchange
{
public:
    enum class Phase { Fetch, Submit, Done, Failed };

    // expected, when not empty, is the paper the candidate must receive byte for byte;
    // it must outlive the exchange.
    CandidateExchange(std::string_view id, uint16_t filePort, std::string_view expected = {});

    Step onMessage(std::string_view message);
    // The server's file connection was accepted.
    Step onFileConnected();
    Step onFileData(std::string_view bytes);
    // The server closed the message connection, or it failed.
    Step onMessageClosed();
    // The server closed the file connection: normal between papers, a failure inside one.
    Step onFileClosed();
    // The next message connection delivers this result text.
    void beginSubmit(std::string result)
    {
        m_result = std::move(result);
        m_phase = Phase::Submit;
    }

    Phase phase() const { return m_phase; }
    const std::string &paperName() const { return m_name; }
    int64_t announced() const { return m_length; }
    int64_t received() const { return m_received; }
    int papers() const { return m_papers; }
    // Keeps the bytes of the paper being received, for a secure copy's token and questions.
    void keepPaper() { m_keep = true; }
    // The last paper received whole, when kept.
    const std::string &paper() const { return m_paper; }

private:
    Step fail(std::string why);

    QString m_loginId;
    std::string m_result;
    uint16_t m_filePort;
    std::string_view m_expected;
    Phase m_phase = Phase::Fetch;
    std::string m_name;
    int64_t m_length = -1; // of the paper being fetched; -1 before the first announcement
    int64_t m_received = 0;
    int m_papers = 0;
    bool m_fileOpen = false;
    bool m_keep = false;
    std::string m_paper;
};

} // namespace loadgen
