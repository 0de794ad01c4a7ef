// Decoding the core's replies into records against the bare JSON parse of the same bytes.
// One refresh reads a state snapshot and up to 120 messages; the 10x documents repeat
// every list of the fixtures ten times.
#include "model/WireDecoder.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <benchmark/benchmark.h>

namespace {

QJsonDocument loadFixture(const char* name)
{
    QFile file(QStringLiteral(RAZO_FIXTURES_DIR "/wire/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", name);
    return QJsonDocument::fromJson(file.readAll());
}

// Every list at any depth holds its elements `times` times over.
QJsonValue repeatLists(const QJsonValue& value, int times)
{
    if (value.isObject()) {
        QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it)
            it.value() = repeatLists(it.value(), times);
        return object;
    }
    if (value.isArray()) {
        const QJsonArray source = value.toArray();
        // a NamedCount is a list too, but a pair; leave it a pair
        if (source.size() == 2 && source.at(0).isString() && source.at(1).isDouble())
            return source;
        QJsonArray repeated;
        for (int round = 0; round < times; ++round)
            for (const QJsonValue& element : source)
                repeated.append(repeatLists(element, 1));
        return repeated;
    }
    return value;
}

QByteArray stateBody(int times)
{
    return QJsonDocument(repeatLists(loadFixture("state_full.json").object(), times).toObject())
        .toJson(QJsonDocument::Compact);
}

QByteArray eventsBody(int times)
{
    QJsonArray events;
    const QJsonArray source =
        loadFixture("events_120.json").object().value(QLatin1String("events")).toArray();
    qint64 id = 1;
    for (int round = 0; round < times; ++round) {
        for (const QJsonValue& value : source) {
            QJsonObject event = value.toObject();
            if (event.contains(QLatin1String("id")))
                event.insert(QLatin1String("id"), id);
            ++id;
            events.append(event);
        }
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("events"), events}}).toJson(QJsonDocument::Compact);
}

const QByteArray& stateOf(int times)
{
    static const QByteArray one = stateBody(1), ten = stateBody(10);
    return times == 1 ? one : ten;
}

const QByteArray& eventsOf(int times)
{
    static const QByteArray one = eventsBody(1), ten = eventsBody(10);
    return times == 1 ? one : ten;
}

void setBytes(benchmark::State& state, qsizetype bytes)
{
    state.SetBytesProcessed(state.iterations() * bytes);
    state.counters["bytes"] = double(bytes);
}

// One refresh: the state snapshot and the message list.
void BM_RawParseRefresh(benchmark::State& state)
{
    const QByteArray& stateJson = stateOf(int(state.range(0)));
    const QByteArray& eventsJson = eventsOf(int(state.range(0)));
    for (auto _ : state) {
        QJsonDocument a = QJsonDocument::fromJson(stateJson);
        QJsonDocument b = QJsonDocument::fromJson(eventsJson);
        benchmark::DoNotOptimize(a);
        benchmark::DoNotOptimize(b);
    }
    setBytes(state, stateJson.size() + eventsJson.size());
}

void BM_DecodeRefresh(benchmark::State& state)
{
    const QByteArray& stateJson = stateOf(int(state.range(0)));
    const QByteArray& eventsJson = eventsOf(int(state.range(0)));
    for (auto _ : state) {
        auto a = wire::decodeState(stateJson);
        auto b = wire::decodeEvents(eventsJson);
        if (!a || !b)
            state.SkipWithError("fixture does not decode");
        benchmark::DoNotOptimize(a);
        benchmark::DoNotOptimize(b);
    }
    setBytes(state, stateJson.size() + eventsJson.size());
}

void BM_RawParseState(benchmark::State& state)
{
    const QByteArray& json = stateOf(int(state.range(0)));
    for (auto _ : state) {
        QJsonDocument document = QJsonDocument::fromJson(json);
        benchmark::DoNotOptimize(document);
    }
    setBytes(state, json.size());
}

void BM_DecodeState(benchmark::State& state)
{
    const QByteArray& json = stateOf(int(state.range(0)));
    for (auto _ : state) {
        auto decoded = wire::decodeState(json);
        if (!decoded)
            state.SkipWithError("fixture does not decode");
        benchmark::DoNotOptimize(decoded);
    }
    setBytes(state, json.size());
}

void BM_RawParseEvents(benchmark::State& state)
{
    const QByteArray& json = eventsOf(int(state.range(0)));
    for (auto _ : state) {
        QJsonDocument document = QJsonDocument::fromJson(json);
        benchmark::DoNotOptimize(document);
    }
    setBytes(state, json.size());
}

void BM_DecodeEvents(benchmark::State& state)
{
    const QByteArray& json = eventsOf(int(state.range(0)));
    for (auto _ : state) {
        auto decoded = wire::decodeEvents(json);
        if (!decoded)
            state.SkipWithError("fixture does not decode");
        benchmark::DoNotOptimize(decoded);
    }
    setBytes(state, json.size());
}

} // namespace

BENCHMARK(BM_RawParseRefresh)->Arg(1)->Arg(10);
BENCHMARK(BM_DecodeRefresh)->Arg(1)->Arg(10);
BENCHMARK(BM_RawParseState)->Arg(1)->Arg(10);
BENCHMARK(BM_DecodeState)->Arg(1)->Arg(10);
BENCHMARK(BM_RawParseEvents)->Arg(1)->Arg(10);
BENCHMARK(BM_DecodeEvents)->Arg(1)->Arg(10);

BENCHMARK_MAIN();
