#include "api/HttpTransport.h"

#include "api/HttpExchange.h"

#include <memory>

QByteArray HttpResponse::header(const QByteArray& name) const
{
    for (const auto& [key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

QByteArray HttpTransport::serialize(const HttpRequest& request)
{
    const QUrl& url = request.url;
    QByteArray target = url.path(QUrl::FullyEncoded).toUtf8();
    if (target.isEmpty())
        target = "/";
    if (url.hasQuery())
        target += '?' + url.query(QUrl::FullyEncoded).toUtf8();

    QByteArray host = url.host(QUrl::FullyEncoded).toUtf8();
    if (host.contains(':'))
        host = '[' + host + ']'; // IPv6 literal
    if (url.port() != -1)
        host += ':' + QByteArray::number(url.port());

    const bool sendsBody = !request.body.isEmpty() || request.method == "POST" || request.method == "PUT";

    QByteArray out;
    out.reserve(256 + request.body.size());
    out += request.method + ' ' + target + " HTTP/1.1\r\n";
    out += "Host: " + host + "\r\n";
    out += "Connection: close\r\n";
    out += "Accept: application/json\r\n";
    out += "User-Agent: razo\r\n";
    for (const auto& [name, value] : request.headers)
        out += name + ": " + value + "\r\n";
    if (sendsBody)
        out += "Content-Length: " + QByteArray::number(request.body.size()) + "\r\n";
    out += "\r\n";
    out += request.body;
    return out;
}

QCoro::Task<Result<HttpResponse, BridgeAPIError>> HttpTransport::send(HttpRequest request)
{
    const std::unique_ptr<HttpExchange> exchange = std::make_unique<HttpExchange>(std::move(request));
    exchange->start();
    co_return co_await exchange->finished();
}
