#include "studio/studio_server.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket/rfc6455.hpp>

#include "studio/http_target.h"
#include "studio/page_socket.h"
#include "studio/request_errors.h"
#include "studio/request_handler.h"
#include "studio/server_context.h"
#include "studio/upload_folder.h"
#include "text/ascii.h"

namespace vhost::studio {

namespace {

namespace net = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = net::ip::tcp;

// How long the server waits to accept again after accepting failed.
constexpr std::chrono::milliseconds kAcceptRetry{100};

// The longest request header the studio reads; its requests have short ones.
constexpr std::uint32_t kLargestHeader = 16 * 1024;

static_assert(kUploadLimit == std::size_t{1} << 30, "the refusal below names the limit");

HttpResponse TooLargeResponse() {
    return ErrorResponse(413, "The file is too large: the studio takes files of up to 1 GiB.");
}

HttpResponse UnreadableResponse() {
    return ErrorResponse(400, "The request is not one the studio can read.");
}

using Parser = http::request_parser<http::string_body>;

std::string_view View(beast::string_view text) { return {text.data(), text.size()}; }

// An error of the HTTP parser: the request was malformed, not cut off.
bool IsMalformed(beast::error_code error) {
    const beast::error_code parserError = http::error::bad_method;
    return error.category() == parserError.category() && error != http::error::end_of_stream &&
           error != http::error::partial_message;
}

// The request in the handler's terms, without its body; none when its target cannot be read.
template <typename Body>
std::optional<HttpRequest> HeadOf(const http::request<Body>& from) {
    std::optional<RequestTarget> target = ParseTarget(View(from.target()));
    if (!target) return std::nullopt;
    HttpRequest request;
    request.method = std::string(from.method_string());
    request.path = std::move(target->path);
    request.query = std::move(target->query);
    for (const auto& field : from) {
        request.headers.try_emplace(AsciiLower(View(field.name_string())),
                                    std::string(field.value()));
    }
    return request;
}

http::response<http::string_body> Written(const HttpResponse& from, bool keepAlive) {
    http::response<http::string_body> to{static_cast<http::status>(from.status), 11};
    for (const auto& [name, value] : from.headers) to.insert(name, value);
    if (!from.contentType.empty()) to.set(http::field::content_type, from.contentType);
    to.body() = from.body;
    to.keep_alive(keepAlive);
    to.prepare_payload();
    return to;
}

// One HTTP connection: requests read one at a time, each answered before the next is read.
class HttpConnection : public Connection, public std::enable_shared_from_this<HttpConnection> {
public:
    HttpConnection(tcp::socket socket, ServerContext& context)
        : stream_(std::move(socket)), context_(context) {}

    ~HttpConnection() override { ForgetBodyFile(); }
    HttpConnection(const HttpConnection&) = delete;
    HttpConnection& operator=(const HttpConnection&) = delete;

    void Start() { ReadHeader(); }
    void Close() override { stream_.close(); }

private:
    void ReadHeader() {
        head_.emplace();
        head_->header_limit(kLargestHeader);
        head_->body_limit(kUploadLimit);
        stream_.expires_after(context_.limits.requestTime);
        http::async_read_header(stream_, buffer_, *head_,
                                [self = shared_from_this()](beast::error_code error, std::size_t) {
                                    self->OnHeader(error);
                                });
    }

    // Decides where the body goes before reading it: nowhere when the request is refused, into a
    // file of the upload folder for a file's bytes, else into the request.
    void OnHeader(beast::error_code error) {
        if (error) return Failed(error);
        const std::optional<HttpRequest> head = HeadOf(head_->get());
        if (!head) return Finish(UnreadableResponse());
        RequestHandler::BodyPlan plan = context_.handler->PlanBody(*head);
        if (plan.refusal) return Finish(*plan.refusal);
        const bool continuing =
            AsciiLower(View(head_->get()[http::field::expect])) == "100-continue";
        if (plan.file.empty()) {
            parser_.emplace(std::move(*head_));
        } else {
            fileParser_.emplace(std::move(*head_));
            beast::error_code opened;
            fileParser_->get().body().open(plan.file.c_str(), beast::file_mode::write_new, opened);
            if (opened) {
                return Finish(ErrorResponse(
                    422, "The dropped file cannot be kept: " + opened.message() + "."));
            }
            bodyFile_ = std::move(plan.file);
        }
        head_.reset();
        if (continuing) return Continue();
        ReadBody();
    }

    void Continue() {
        continuing_ =
            std::make_shared<http::response<http::empty_body>>(http::status::continue_, 11);
        stream_.expires_after(context_.limits.requestTime);
        http::async_write(stream_, *continuing_,
                          [self = shared_from_this()](beast::error_code written, std::size_t) {
                              if (written) return self->Close();
                              self->ReadBody();
                          });
    }

    void ReadBody() {
        if (fileParser_) return ReadBodyOf(*fileParser_);
        ReadBodyOf(*parser_);
    }

    // Each part of the body must come within the request time, so a large upload is not cut off
    // while a stalled one is.
    template <typename BodyParser>
    void ReadBodyOf(BodyParser& parser) {
        if (parser.is_done()) return Dispatch();
        stream_.expires_after(context_.limits.requestTime);
        http::async_read_some(stream_, buffer_, parser,
                              [self = shared_from_this()](beast::error_code error, std::size_t) {
                                  if (error) return self->Failed(error);
                                  self->ReadBody();
                              });
    }

    // A request that cannot be read is answered when there is something to say; a connection that
    // went quiet or away is closed.
    void Failed(beast::error_code error) {
        if (error == http::error::body_limit) return Finish(TooLargeResponse());
        if (IsMalformed(error)) return Finish(UnreadableResponse());
        Close();
    }

    // The request, its body moved out of the parser or its file closed.
    std::optional<HttpRequest> Received() {
        if (fileParser_) {
            auto& message = fileParser_->get();
            keepAlive_ = message.keep_alive();
            upgrade_ = false;
            message.body().close();
            std::optional<HttpRequest> request = HeadOf(message);
            if (request) request->bodyFile = bodyFile_;
            fileParser_.reset();
            return request;
        }
        auto& message = parser_->get();
        keepAlive_ = message.keep_alive();
        upgrade_ = beast::websocket::is_upgrade(message);
        std::optional<HttpRequest> request = HeadOf(message);
        if (request) request->body = std::move(message.body());
        return request;
    }

    void Dispatch() {
        std::optional<HttpRequest> request = Received();
        if (!request) return Finish(UnreadableResponse());
        stream_.expires_never();  // the host thread may take its time; the person waits for it
        context_.Wait(shared_from_this());
        const std::weak_ptr<HttpConnection> weak = weak_from_this();
        const std::shared_ptr<Mailbox> mailbox = context_.mailbox;
        context_.handler->Handle(std::move(*request), [weak, mailbox](HttpResponse response) {
            mailbox->Post([weak, response = std::move(response)]() mutable {
                if (const auto self = weak.lock()) self->OnAnswer(std::move(response));
            });
        });
    }

    // The bytes of an upload that was refused, or that failed, are not kept.
    void ForgetBodyFile() {
        if (bodyFile_.empty()) return;
        std::error_code ignored;
        std::filesystem::remove(bodyFile_, ignored);
        bodyFile_.clear();
    }

    void OnAnswer(HttpResponse response) {
        context_.Answered(this);
        ForgetBodyFile();
        if (response.events != nullptr && upgrade_) {
            auto page = std::make_shared<PageSocket>(std::move(stream_), context_,
                                                     std::move(response.events));
            context_.Opened(page);
            page->Accept(parser_->release());
            return;
        }
        Write(response, keepAlive_);
    }

    // Answers and closes: what is left of the request cannot be read.
    void Finish(const HttpResponse& response) { Write(response, false); }

    void Write(const HttpResponse& response, bool keepAlive) {
        answer_ = std::make_shared<http::response<http::string_body>>(Written(response, keepAlive));
        stream_.expires_after(context_.limits.answerTime);
        http::async_write(
            stream_, *answer_,
            [self = shared_from_this(), keepAlive](beast::error_code error, std::size_t) {
                self->answer_ = nullptr;
                if (error || !keepAlive) {
                    beast::error_code ignored;
                    self->stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
                    self->Close();
                    return;
                }
                self->ReadHeader();
            });
    }

    beast::tcp_stream stream_;
    ServerContext& context_;
    beast::flat_buffer buffer_;
    std::optional<http::request_parser<http::empty_body>> head_;
    std::optional<Parser> parser_;
    std::optional<http::request_parser<http::file_body>> fileParser_;
    std::filesystem::path bodyFile_;  // the body's file while the request is read and done
    std::shared_ptr<http::response<http::empty_body>> continuing_;
    std::shared_ptr<http::response<http::string_body>> answer_;
    bool keepAlive_ = false;
    bool upgrade_ = false;
};

}  // namespace

struct StudioServer::Impl {
    explicit Impl(ServerLimits limits) {
        context.limits = limits;
        context.mailbox = std::make_shared<Mailbox>(io);
    }

    void Accept() {
        acceptor.async_accept([this](beast::error_code error, tcp::socket socket) {
            if (!acceptor.is_open()) return;  // the server stops
            if (error) {
                // Out of file descriptors, say, while many connections are open: those time out,
                // and accepting resumes a little later.
                retry.expires_after(kAcceptRetry);
                retry.async_wait([this](beast::error_code waited) {
                    if (!waited) Accept();
                });
                return;
            }
            auto connection = std::make_shared<HttpConnection>(std::move(socket), context);
            context.Opened(connection);
            connection->Start();
            Accept();
        });
    }

    void CloseAll() {
        beast::error_code ignored;
        acceptor.close(ignored);
        retry.cancel();
        for (const auto& weak : context.open) {
            if (const auto connection = weak.lock()) connection->Close();
        }
        context.waiting.clear();
    }

    net::io_context io{1};
    ServerContext context;
    tcp::acceptor acceptor{io};
    net::steady_timer retry{io};
    std::thread serving;
};

StudioServer::StudioServer(ServerLimits limits) : impl_(std::make_unique<Impl>(limits)) {}

StudioServer::~StudioServer() { Stop(); }

int StudioServer::Bind(int port) {
    beast::error_code error;
    const tcp::endpoint where(net::ip::make_address_v4("127.0.0.1"),
                              static_cast<unsigned short>(port));
    tcp::acceptor& acceptor = impl_->acceptor;
    acceptor.open(where.protocol(), error);
    if (!error) acceptor.set_option(net::socket_base::reuse_address(true), error);
    if (!error) acceptor.bind(where, error);
    if (!error) acceptor.listen(net::socket_base::max_listen_connections, error);
    if (error) {
        acceptor.close(error);
        return -1;
    }
    return acceptor.local_endpoint().port();
}

void StudioServer::Start(const RequestHandler& handler) {
    impl_->context.handler = &handler;
    impl_->Accept();
    impl_->serving = std::thread([this] { impl_->io.run(); });
}

void StudioServer::Stop() {
    if (!impl_->serving.joinable()) return;
    net::post(impl_->io, [this] { impl_->CloseAll(); });
    impl_->serving.join();
    impl_->context.mailbox->Close();
}

}  // namespace vhost::studio
