// A candidate's side of the fetch and submit exchanges, as a state machine over messages and bytes.
#include "bench/loadgen/exchange.h"

#include "wire/wiremessages.h"
#include "wire/wiretags.h"

#include <cstring>

namespace loadgen {

namespace {

QString text(std::string_view bytes)
{
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

} // namespace

CandidateExchange::CandidateExchange(std::string_view id, uint16_t filePort, std::string_view expected)
    : m_loginId(wire::formLoginId(text(id))), m_filePort(filePort), m_expected(expected)
{
}

Step CandidateExchange::fail(std::string why)
{
    m_phase = Phase::Failed;
    return { Step::What::Failed, {}, std::move(why) };
}

Step CandidateExchange::onMessage(std::string_view message)
{
    const std::string_view tag = message.substr(0, 4);
    if (m_phase == Phase::Submit) {
        if (tag == wire::tagAnnounce)
            return { Step::What::Send, wire::reportMessage(m_loginId, text(m_result)).toStdString(), {} };
        if (tag == wire::tagFinished) {
            m_phase = Phase::Done;
            return { Step::What::Submitted, {}, {} };
        }
        return {};
    }
    if (m_phase != Phase::Fetch)
        return {};
    if (tag == wire::tagDuplicate)
        return fail("refused as already logged in");
    if (tag == wire::tagFinished) {
        if (m_papers == 0)
            return fail("finx before any paper");
        if (m_received != 0)
            return fail("finx in the middle of a paper");
        return { Step::What::Fetched, {}, {} };
    }
    if (tag != wire::tagAnnounce)
        return {};
    const std::optional<wire::Announcement> a = wire::parseAnnouncement(text(message.substr(4)));
    if (!a)
        return fail("bad announcement: " + std::string(message.substr(0, 80)));
    if (m_length >= 0 && m_received != 0)
        return fail("announcement in the middle of a paper");
    m_name = a->name.toStdString();
    m_length = a->length;
    m_received = 0;
    return { Step::What::Send, wire::loginMessage(m_loginId, m_filePort).toStdString(), {} };
}

Step CandidateExchange::onFileConnected()
{
    if (m_phase != Phase::Fetch || m_fileOpen)
        return fail("a second file connection");
    m_fileOpen = true;
    if (m_length < 0)
        return fail("file connection before the announcement");
    return { Step::What::Send, wire::tagRequestFile, {} };
}

Step CandidateExchange::onFileData(std::string_view bytes)
{
    if (m_phase != Phase::Fetch)
        return fail("file bytes after the fetch");
    if (m_length < 0)
        return fail("file bytes before the announcement");
    if (m_received + int64_t(bytes.size()) > m_length)
        return fail("more bytes than the " + std::to_string(m_length) + " announced");
    if (!m_expected.empty()) {
        if (m_expected.size() != size_t(m_length))
            return fail("announced " + std::to_string(m_length) + " bytes, the paper has "
                        + std::to_string(m_expected.size()));
        if (std::memcmp(m_expected.data() + m_received, bytes.data(), bytes.size()) != 0)
            return fail("paper differs near byte " + std::to_string(m_received));
    }
    if (m_keep) {
        if (m_received == 0)
            m_paper.clear();
        m_paper.append(bytes);
    }
    m_received += int64_t(bytes.size());
    if (m_received < m_length)
        return {};
    ++m_papers;
    m_received = 0;
    return { Step::What::PaperReceived, wire::overMessage(QString::fromStdString(m_name)).toStdString(), {} };
}

Step CandidateExchange::onMessageClosed()
{
    if (m_phase == Phase::Done || m_phase == Phase::Failed)
        return {};
    return fail(m_phase == Phase::Fetch ? "message connection closed during the fetch"
                                        : "message connection closed before the result was confirmed");
}

Step CandidateExchange::onFileClosed()
{
    if (m_phase != Phase::Fetch || (m_papers > 0 && m_received == 0))
        return {};
    return fail("file connection closed after " + std::to_string(m_received) + " of "
                + std::to_string(m_length) + " bytes");
}

} // namespace loadgen
