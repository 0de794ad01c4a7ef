// The HTTP reply parser on arbitrary bytes, fed in chunks of random sizes, for a request with
// and without a body. The verdict and the reply must not depend on where the chunks split.
//
// Input: byte 0 (bit 0: body-less request), byte 1 (seed of the chunk sizes), then the reply.

#include "FuzzInput.h"
#include "api/HttpResponseParser.h"

namespace {

using State = HttpResponseParser::State;

struct Reading
{
    State state;
    int status;
    QByteArray reason;
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
    bool operator==(const Reading&) const = default;
};

Reading readingOf(const HttpResponseParser& parser, State state)
{
    return {state, parser.status(), parser.reason(), parser.headers(), parser.body()};
}

// Feeds the reply in chunks (sizes from a small xorshift generator; 0 means all at once), then
// closes the connection.
Reading parse(const QByteArray& reply, bool bodyless, uint8_t seed)
{
    HttpResponseParser parser(bodyless);
    State state = State::NeedMore;
    quint32 random = seed * 2654435761u + 1;
    qsizetype pos = 0;
    while (pos < reply.size()) {
        qsizetype size = reply.size() - pos;
        if (seed != 0) {
            random ^= random << 13;
            random ^= random >> 17;
            random ^= random << 5;
            // mostly small chunks, now and then a large one
            size = std::min<qsizetype>(size, random % 8 == 0 ? random % 4096 + 1 : random % 16 + 1);
        }
        state = parser.feed(reply.mid(pos, size));
        FUZZ_CHECK(state == parser.state());
        pos += size;
        if (state != State::NeedMore)
            break; // later bytes are ignored
    }
    const State closed = parser.finish();
    FUZZ_CHECK(state == State::NeedMore || closed == state); // a verdict never changes
    return readingOf(parser, closed);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    const bool bodyless = input.flag();
    const uint8_t seed = input.byte();
    const qsizetype skip = std::min<qsizetype>(2, qsizetype(size));
    const QByteArray reply = QByteArray(reinterpret_cast<const char*>(data) + skip, qsizetype(size) - skip);

    const Reading whole = parse(reply, bodyless, 0);
    const Reading chunked = parse(reply, bodyless, seed | 1);
    FUZZ_CHECK(chunked == whole);

    if (whole.state == State::Complete) {
        FUZZ_CHECK(whole.status >= 100 && whole.status <= 999);
        FUZZ_CHECK(whole.status >= 200 || whole.status == 101); // interim replies are skipped
        if (bodyless || whole.status == 204 || whole.status == 304)
            FUZZ_CHECK(whole.body.isEmpty());
        FUZZ_CHECK(whole.body.size() <= HttpResponseParser::maxBodyBytes);
        FUZZ_CHECK(whole.body.size() <= reply.size());
    }
    return 0;
}
