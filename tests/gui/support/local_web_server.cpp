#include "local_web_server.h"

#include <arpa/inet.h>
#include <cstdlib>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gio/gio.h>

namespace lumo::test {
namespace {

// One connection, plain or TLS: read and write whole buffers.
struct Channel
{
    int fd = -1;
    GIOStream* tls = nullptr;

    ssize_t Read(char* buffer, size_t size)
    {
        if (tls)
            return g_input_stream_read(g_io_stream_get_input_stream(tls), buffer, size, nullptr,
                                       nullptr);
        return recv(fd, buffer, size, 0);
    }

    void Write(const std::string& data)
    {
        if (tls) {
            g_output_stream_write_all(g_io_stream_get_output_stream(tls), data.data(), data.size(),
                                      nullptr, nullptr, nullptr);
            return;
        }
        size_t sent = 0;
        while (sent < data.size()) {
            ssize_t n = send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                return;
            sent += static_cast<size_t>(n);
        }
    }
};

std::string StatusText(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 404:
        return "Not Found";
    default:
        return "Status";
    }
}

} // namespace

LocalWebServer::LocalWebServer(int port)
{
    m_listen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int reuse = 1;
    setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    socklen_t length = sizeof address;
    if (bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(m_listen, 64) != 0 ||
        getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return;
    m_port = ntohs(address.sin_port);
    m_acceptThread = std::thread([this] { AcceptLoop(); });
}

LocalWebServer::~LocalWebServer()
{
    m_stop = true;
    shutdown(m_listen, SHUT_RDWR);
    if (m_acceptThread.joinable())
        m_acceptThread.join();
    close(m_listen);
    for (std::thread& connection : m_connections)
        connection.join();
}

std::string LocalWebServer::Url(const std::string& path, const std::string& scheme) const
{
    return scheme + "://127.0.0.1:" + std::to_string(m_port) + path;
}

void LocalWebServer::Route(const std::string& path, WebResponse response)
{
    std::lock_guard lock(m_mutex);
    m_routes[path] = std::move(response);
}

std::vector<std::string> LocalWebServer::Requests()
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

bool LocalWebServer::MakeCertificate(const std::string& directory)
{
    m_certFile = directory + "/server-cert.pem";
    m_keyFile = directory + "/server-key.pem";
    std::string command = "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1"
                          " -addext subjectAltName=IP:127.0.0.1 -keyout '" +
                          m_keyFile + "' -out '" + m_certFile + "' >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

void LocalWebServer::AcceptLoop()
{
    while (!m_stop) {
        int fd = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (m_stop)
                return;
            continue;
        }
        m_connections.emplace_back([this, fd] { Serve(fd); });
    }
}

void LocalWebServer::Serve(int fd)
{
    // Wait for the first bytes: a TLS client hello starts with 0x16.
    auto waitReadable = [&] {
        pollfd p{fd, POLLIN, 0};
        while (!m_stop)
            if (poll(&p, 1, 100) > 0)
                return true;
        return false;
    };
    Channel channel{fd, nullptr};
    unsigned char first = 0;
    if (!waitReadable() || recv(fd, &first, 1, MSG_PEEK) != 1) {
        close(fd);
        return;
    }
    bool overTls = first == 0x16;
    GTlsCertificate* certificate = nullptr;
    GSocketConnection* connection = nullptr;
    if (overTls) {
        TlsMode mode = m_tlsMode;
        if (mode == TlsMode::Stall) {
            while (!m_stop)
                usleep(50 * 1000);
            close(fd);
            return;
        }
        if (mode == TlsMode::Serve) {
            GSocket* socket = g_socket_new_from_fd(fd, nullptr);
            connection = g_socket_connection_factory_create_connection(socket);
            g_object_unref(socket);
            certificate =
                g_tls_certificate_new_from_files(m_certFile.c_str(), m_keyFile.c_str(), nullptr);
            channel.tls = certificate ? g_tls_server_connection_new(G_IO_STREAM(connection),
                                                                    certificate, nullptr)
                                      : nullptr;
            if (!channel.tls ||
                !g_tls_connection_handshake(G_TLS_CONNECTION(channel.tls), nullptr, nullptr)) {
                if (channel.tls)
                    g_object_unref(channel.tls);
                if (certificate)
                    g_object_unref(certificate);
                g_object_unref(connection); // closes the socket
                return;
            }
        } else {
            // A server of plain HTTP only: the hello gets a plain answer.
            {
                std::lock_guard lock(m_mutex);
                m_requests.push_back("tls-refused");
            }
            channel.Write("HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n"
                          "Connection: close\r\n\r\n");
            shutdown(fd, SHUT_RDWR);
            close(fd);
            return;
        }
    }

    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
        if (!channel.tls && !waitReadable())
            break;
        ssize_t n = channel.Read(buffer, sizeof buffer);
        if (n <= 0)
            break;
        request.append(buffer, static_cast<size_t>(n));
    }
    std::string path;
    size_t space = request.find(' ');
    if (space != std::string::npos)
        path = request.substr(space + 1, request.find(' ', space + 1) - space - 1);

    WebResponse response;
    bool known = false;
    {
        std::lock_guard lock(m_mutex);
        bool secure = channel.tls != nullptr;
        m_requests.push_back((secure ? "tls:" : "") + path);
        auto found = m_routes.find(path);
        if (found == m_routes.end())
            found = m_routes.find(path.substr(0, path.find('?')));
        if (found != m_routes.end()) {
            response = found->second;
            known = true;
        }
    }
    if (!known)
        response = WebResponse{404, "text/html", "<title>Not found</title>", {}, 0};
    for (int waited = 0; waited < response.delayMs && !m_stop; waited += 20)
        usleep(20 * 1000);

    std::string head = "HTTP/1.1 " + std::to_string(response.status) + " " +
                       StatusText(response.status) + "\r\nContent-Type: " + response.contentType +
                       "\r\nContent-Length: " + std::to_string(response.body.size()) +
                       "\r\nConnection: close\r\n";
    for (const std::string& header : response.headers)
        head += header + "\r\n";
    channel.Write(head + "\r\n" + response.body);

    if (channel.tls) {
        g_io_stream_close(channel.tls, nullptr, nullptr);
        g_object_unref(channel.tls);
        g_object_unref(certificate);
        g_object_unref(connection);
    } else {
        shutdown(fd, SHUT_WR);
        close(fd);
    }
}

} // namespace lumo::test
