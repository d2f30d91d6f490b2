#pragma once
// A small web server on 127.0.0.1 for tests of the web pane: plain HTTP and,
// on the same port, TLS with a certificate the test makes, or a TLS attempt
// that is refused or never answered. Runs on its own threads.
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace lumo::test {

struct WebResponse
{
    int status = 200;
    std::string contentType = "text/html; charset=utf-8";
    std::string body;
    std::vector<std::string> headers; // "Name: value"
    int delayMs = 0;                  // before the answer
};

class LocalWebServer
{
public:
    // What a TLS client hello meets.
    enum class TlsMode
    {
        Refuse, // answered as plain HTTP, which fails the handshake
        Stall,  // never answered
        Serve,  // a real TLS server with the certificate made by the test
    };

    // On a free port, or on `port` when it is given.
    explicit LocalWebServer(int port = 0);
    ~LocalWebServer();
    LocalWebServer(const LocalWebServer&) = delete;
    LocalWebServer& operator=(const LocalWebServer&) = delete;

    int Port() const { return m_port; }
    // "http://127.0.0.1:PORT" + path (scheme "https" for the TLS side).
    std::string Url(const std::string& path, const std::string& scheme = "http") const;

    void Route(const std::string& path, WebResponse response);
    void SetTlsMode(TlsMode mode) { m_tlsMode = mode; }
    // Makes a self-signed certificate for 127.0.0.1 (openssl) and returns its
    // PEM file; false when it cannot.
    bool MakeCertificate(const std::string& directory);
    const std::string& CertificateFile() const { return m_certFile; }

    // Paths asked for so far, with "tls:" in front of those asked over TLS.
    std::vector<std::string> Requests();

private:
    void AcceptLoop();
    void Serve(int fd);

    int m_listen = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<TlsMode> m_tlsMode{TlsMode::Refuse};
    std::string m_certFile, m_keyFile;
    std::mutex m_mutex;
    std::map<std::string, WebResponse> m_routes;
    std::vector<std::string> m_requests;
    std::thread m_acceptThread;
    std::vector<std::thread> m_connections;
};

} // namespace lumo::test
