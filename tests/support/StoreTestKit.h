#pragma once

#include "FakeCoreLauncher.h"
#include "FakeHttpServer.h"
#include "store/BridgeStore.h"

#include <QDateTime>
#include <memory>

// Builds stores against a FakeHttpServer with short, injected intervals, and serves
// minimal valid core documents.
namespace storetestkit {

// Time-outs and retry pause short enough for tests.
ApiTimeouts fastTimeouts();
// Polls, refresh interval and toast duration short enough for tests; a settable clock.
StoreTiming fastTiming(std::shared_ptr<QDateTime> clock = {});

// A state document whose summary lists `marker` as its only action item.
QByteArray stateBody(const QString& marker = QStringLiteral("state-1"));
// An events document with one message per text, ids counting from 1; with the kind echo when
// `kind` is not empty.
QByteArray eventsBody(const QStringList& contents, const QString& kind = QString());

// Answers auth, state and events of a healthy core.
void serveHealthyCore(FakeHttpServer& server, const QString& marker = QStringLiteral("state-1"),
                      const QStringList& events = {QStringLiteral("第一条"), QStringLiteral("第二条")});

struct Fixture
{
    std::unique_ptr<BridgeStore> store;
    std::shared_ptr<FakeCoreLauncher::Counters> launches;
    FakeCoreLauncher* launcher = nullptr; // owned by the store
};

// A store whose client points at `base` (checking each connection with `portCheck`, when
// given) and whose launcher is fake.
Fixture makeStore(const QUrl& base, StoreTiming timing = fastTiming(), ApiTimeouts timeouts = fastTimeouts(),
                  BridgeAPI::PortCheck portCheck = {});

} // namespace storetestkit
