// The cipher's hex forms against the least a table-driven hex-and-XOR loop does over the same lines.
#include "bench/support/benchmain.h"
#include "bench/support/benchpaper.h"

#include "common/clsencryptxor.h"

#include <array>
#include <cstdint>
#include <vector>

namespace {

// The lines of a generated paper: the cipher is called once a line, as every caller does.
struct Lines {
    QStringList plain;
    QStringList stored;
    qint64 characters = 0; // of the plain lines
};

const Lines &lines()
{
    static const Lines data = [] {
        Lines d;
        // A few thousand lines are plenty for a steady figure; more only lengthen the run.
        d.plain = bench::paperLines(std::min(bench::questionCount(), 4000), bench::Kinds::All);
        d.stored = bench::storedLines(d.plain);
        for (const QString &line : d.plain)
            d.characters += line.size();
        return d;
    }();
    return data;
}

// The key's bytes, low byte of each character first, as the format fixes them.
std::vector<std::uint8_t> keyBytes()
{
    std::vector<std::uint8_t> key;
    for (QChar c : clsEncryptXOR::defaultKey) {
        key.push_back(std::uint8_t(c.unicode() & 0xFF));
        key.push_back(std::uint8_t(c.unicode() >> 8));
    }
    return key;
}

// Both hex digits of every byte, ready to store as one 32-bit word.
std::array<std::uint32_t, 256> pairTable()
{
    std::array<std::uint32_t, 256> table {};
    const char16_t digits[] = u"0123456789ABCDEF";
    for (unsigned b = 0; b < 256; ++b)
        table[b] = std::uint32_t(digits[b >> 4]) | std::uint32_t(digits[b & 0xF]) << 16;
    return table;
}

// The value of every hex digit below 128; anything else has bit 4 set.
std::array<std::uint8_t, 128> digitTable()
{
    std::array<std::uint8_t, 128> table;
    table.fill(0x10);
    for (int c = 0; c < 10; ++c)
        table['0' + c] = std::uint8_t(c);
    for (int c = 0; c < 6; ++c)
        table['A' + c] = table['a' + c] = std::uint8_t(10 + c);
    return table;
}

void setCounters(benchmark::State &state)
{
    // Bytes are the UTF-16 bytes of the plain text, the same count for both directions.
    state.SetBytesProcessed(state.iterations() * lines().characters * 2);
    state.SetItemsProcessed(state.iterations() * lines().plain.size());
    state.counters["lines"] = double(lines().plain.size());
}

void HexEncrypt(benchmark::State &state)
{
    const clsEncryptXOR cipher;
    if (cipher.HexEncrypt(lines().plain.first()) != lines().stored.first())
        return bench::fail(state, "HexEncrypt does not give the stored line");
    for (auto _ : state) {
        for (const QString &line : lines().plain)
            benchmark::DoNotOptimize(cipher.HexEncrypt(line));
    }
    setCounters(state);
}

void HexDecrypt(benchmark::State &state)
{
    const clsEncryptXOR cipher;
    if (cipher.HexDecrypt(lines().stored.first()) != lines().plain.first())
        return bench::fail(state, "HexDecrypt does not give the plain line");
    for (auto _ : state) {
        for (const QString &line : lines().stored)
            benchmark::DoNotOptimize(cipher.HexDecrypt(line));
    }
    setCounters(state);
}

// The reference: one table look-up per byte into a buffer that is already there.
void ReferenceEncode(benchmark::State &state)
{
    const auto key = keyBytes();
    const auto table = pairTable();
    std::vector<char16_t> out;
    for (auto _ : state) {
        for (const QString &line : lines().plain) {
            out.resize(size_t(line.size()) * 4);
            auto *o = reinterpret_cast<std::uint32_t *>(out.data());
            const char16_t *in = reinterpret_cast<const char16_t *>(line.constData());
            size_t j = 0;
            for (qsizetype i = 0; i < line.size(); ++i) {
                *o++ = table[(in[i] & 0xFF) ^ key[j]];
                *o++ = table[(in[i] >> 8) ^ key[j + 1]];
                j = j + 2 == key.size() ? 0 : j + 2;
            }
            benchmark::DoNotOptimize(out.data());
        }
    }
    setCounters(state);
    const QString first = QString::fromUtf16(out.data(), qsizetype(out.size()));
    if (lines().plain.last().size() * 4 != first.size())
        bench::fail(state, "the reference encoder wrote the wrong length");
}

// The reference: two table look-ups per byte, and one test per line for a digit that was
// not hexadecimal, since deciphering must refuse such lines.
void ReferenceDecode(benchmark::State &state)
{
    const auto key = keyBytes();
    const auto table = digitTable();
    std::vector<char16_t> out;
    for (auto _ : state) {
        for (const QString &line : lines().stored) {
            out.resize(size_t(line.size()) / 4);
            const char16_t *in = reinterpret_cast<const char16_t *>(line.constData());
            unsigned bad = 0;
            size_t j = 0;
            for (size_t c = 0; c < out.size(); ++c, in += 4) {
                unsigned d[4];
                for (int n = 0; n < 4; ++n) {
                    d[n] = table[in[n] & 0x7F];
                    bad |= d[n] | (in[n] & ~0x7Fu);
                }
                const unsigned lo = (d[0] << 4 | d[1]) ^ key[j];
                const unsigned hi = (d[2] << 4 | d[3]) ^ key[j + 1];
                j = j + 2 == key.size() ? 0 : j + 2;
                out[c] = char16_t(lo | hi << 8);
            }
            if (bad & ~0xFu)
                return bench::fail(state, "the reference decoder found a digit that is not hexadecimal");
            benchmark::DoNotOptimize(out.data());
        }
    }
    setCounters(state);
    if (QString::fromUtf16(out.data(), qsizetype(out.size())) != lines().plain.last())
        bench::fail(state, "the reference decoder does not give the plain line");
}

} // namespace

void bench::registerBenchmarks(int)
{
    benchmark::RegisterBenchmark("cipher/HexEncrypt", HexEncrypt);
    benchmark::RegisterBenchmark("cipher/ReferenceEncode", ReferenceEncode);
    benchmark::RegisterBenchmark("cipher/HexDecrypt", HexDecrypt);
    benchmark::RegisterBenchmark("cipher/ReferenceDecode", ReferenceDecode);
}
