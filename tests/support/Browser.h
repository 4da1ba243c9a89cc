#pragma once
// A headless Chromium driven through its DevTools protocol on a pipe (file
// descriptors 3 and 4 of the browser, JSON messages ended by a zero byte):
// opens pages, evaluates scripts in them, and keeps every address the pages
// asked for and every error their console showed.
#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

class THeadlessBrowser {
public:
    THeadlessBrowser()
    {
        const QString program = QStandardPaths::findExecutable(QStringLiteral("chromium"));
        if (program.isEmpty() || !profile_.isValid()) return;
        ::signal(SIGPIPE, SIG_IGN);  // a browser that went away fails the writes instead
        int in[2], out[2];
        if (::pipe(in) != 0 || ::pipe(out) != 0) return;
        const QByteArray exe = program.toLocal8Bit();
        const QByteArray profile = "--user-data-dir=" + profile_.path().toLocal8Bit();
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(in[0], 3);
            ::dup2(out[1], 4);
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            ::dup2(null, 2);
            for (int fd = 5; fd < 1024; ++fd) ::close(fd);
            const char* args[] = {exe.constData(),
                                  "--headless",
                                  "--no-sandbox",
                                  "--disable-gpu",
                                  "--remote-debugging-pipe",
                                  "--allow-file-access-from-files",
                                  "--window-size=1280,900",
                                  profile.constData(),
                                  "about:blank",
                                  nullptr};
            ::execv(exe.constData(), const_cast<char* const*>(args));
            ::_exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        to_ = in[1];
        from_ = out[0];
    }
    ~THeadlessBrowser()
    {
        if (pid_ > 0) {
            Call(QStringLiteral("Browser.close"), {}, false);
            ::close(to_);
            ::close(from_);
            for (int i = 0; i < 50 && ::waitpid(pid_, nullptr, WNOHANG) == 0; ++i) ::usleep(100000);
            if (::waitpid(pid_, nullptr, WNOHANG) == 0) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, nullptr, 0);
            }
        }
    }
    bool Started() const { return pid_ > 0; }

    // Opens the address in a new tab and waits until the page has loaded.
    bool Open(const QString& url)
    {
        const QJsonObject target = Call(QStringLiteral("Target.createTarget"), {{"url", "about:blank"}}, false);
        const QJsonObject attached =
            Call(QStringLiteral("Target.attachToTarget"), {{"targetId", target["targetId"]}, {"flatten", true}}, false);
        session_ = attached["sessionId"].toString();
        for (const char* domain : {"Page.enable", "Runtime.enable", "Log.enable", "Network.enable"})
            Call(QLatin1String(domain), {});
        loaded_ = false;
        Call(QStringLiteral("Page.navigate"), {{"url", url}});
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!loaded_ && std::chrono::steady_clock::now() < end)
            if (const auto message = Receive(end)) Note(*message);
        return loaded_;
    }
    // The value of a script's expression in the page.
    QJsonValue Evaluate(const QString& expression)
    {
        const QJsonObject result = Call(QStringLiteral("Runtime.evaluate"),
                                        {{"expression", expression}, {"returnByValue", true}, {"awaitPromise", true}});
        if (result.contains("exceptionDetails"))
            Problems << QStringLiteral("evaluate: ") + QJsonDocument(result["exceptionDetails"].toObject()).toJson();
        return result["result"].toObject()["value"];
    }

    QStringList Problems;  // console errors, uncaught exceptions, failed loads
    QStringList Requests;  // every address the pages asked for

private:
    QJsonObject Call(const QString& method, const QJsonObject& params, bool inSession = true)
    {
        QJsonObject message{{"id", ++id_}, {"method", method}, {"params", params}};
        if (inSession && !session_.isEmpty()) message["sessionId"] = session_;
        const QByteArray bytes = QJsonDocument(message).toJson(QJsonDocument::Compact) + '\0';
        if (::write(to_, bytes.constData(), size_t(bytes.size())) != bytes.size()) return {};
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (const auto answer = Receive(end)) {
            if ((*answer)["id"].toInt() == id_) return (*answer)["result"].toObject();
            Note(*answer);
        }
        return {};
    }
    std::optional<QJsonObject> Receive(std::chrono::steady_clock::time_point end)
    {
        for (;;) {
            if (const qsizetype zero = buffer_.indexOf('\0'); zero >= 0) {
                const QByteArray text = buffer_.left(zero);
                buffer_.remove(0, zero + 1);
                return QJsonDocument::fromJson(text).object();
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
            pollfd p{from_, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, int(left.count())) <= 0) return std::nullopt;
            char chunk[65536];
            const ssize_t n = ::read(from_, chunk, sizeof chunk);
            if (n <= 0) return std::nullopt;
            buffer_.append(chunk, n);
        }
    }
    void Note(const QJsonObject& event)
    {
        const QString method = event["method"].toString();
        const QJsonObject params = event["params"].toObject();
        if (method == QLatin1String("Page.loadEventFired")) loaded_ = true;
        if (method == QLatin1String("Network.requestWillBeSent"))
            Requests << params["request"].toObject()["url"].toString();
        if (method == QLatin1String("Runtime.exceptionThrown"))
            Problems << params["exceptionDetails"].toObject()["text"].toString() + QLatin1Char(' ') +
                            params["exceptionDetails"].toObject()["exception"].toObject()["description"].toString();
        if (method == QLatin1String("Runtime.consoleAPICalled") &&
            (params["type"] == QLatin1String("error") || params["type"] == QLatin1String("warning")))
            Problems << QJsonDocument(params["args"].toArray()).toJson(QJsonDocument::Compact);
        if (method == QLatin1String("Log.entryAdded") && params["entry"].toObject()["level"] == QLatin1String("error"))
            Problems << params["entry"].toObject()["text"].toString() + QLatin1Char(' ') +
                            params["entry"].toObject()["url"].toString();
    }

    QTemporaryDir profile_;
    pid_t pid_ = -1;
    int to_ = -1, from_ = -1;
    int id_ = 0;
    QString session_;
    QByteArray buffer_;
    bool loaded_ = false;
};
