#include "studio/page_socket.h"

#include <utility>

#include <boost/asio/buffer.hpp>
#include <boost/beast/websocket/rfc6455.hpp>

namespace vhost::studio {

namespace {

namespace beast = boost::beast;
namespace websocket = beast::websocket;

// What a page sends is never read: a larger message closes its socket.
constexpr std::size_t kLargestIncoming = 4096;

}  // namespace

PageSocket::PageSocket(beast::tcp_stream stream, ServerContext& context,
                       std::shared_ptr<EventSubscriber> events)
    : socket_(std::move(stream)), context_(context), events_(std::move(events)) {}

void PageSocket::Accept(beast::http::request<beast::http::string_body> request) {
    beast::get_lowest_layer(socket_).expires_never();
    websocket::stream_base::timeout timeout{};
    timeout.handshake_timeout = context_.limits.requestTime;
    timeout.idle_timeout = context_.limits.pageSilence;
    timeout.keep_alive_pings = true;
    socket_.set_option(timeout);
    socket_.read_message_max(kLargestIncoming);
    socket_.text(true);
    upgrade_ = std::move(request);  // kept until the handshake's answer is written
    socket_.async_accept(upgrade_, [self = shared_from_this()](beast::error_code error) {
        if (!error) self->Follow();
    });
}

void PageSocket::Follow() {
    events_->SetPendingLimit(context_.limits.pendingEvents);
    const std::weak_ptr<PageSocket> weak = weak_from_this();
    const std::shared_ptr<Mailbox> mailbox = context_.mailbox;
    events_->OnArrival([weak, mailbox] {
        mailbox->Post([weak] {
            if (const auto self = weak.lock()) self->SendNext();
        });
    });
    ReadAndDrop();
    SendNext();
}

void PageSocket::ReadAndDrop() {
    socket_.async_read(incoming_,
                       [self = shared_from_this()](beast::error_code error, std::size_t /*n*/) {
                           if (error) {
                               self->Close();
                               return;
                           }
                           self->incoming_.clear();
                           self->ReadAndDrop();
                       });
}

void PageSocket::SendNext() {
    if (events_->Dropped()) {
        Close();  // a write that waits for the page ends with it
        return;
    }
    if (sending_ != nullptr || ending_) return;
    sending_ = events_->Take();
    if (sending_ == nullptr) {
        if (events_->Closed()) End();
        return;
    }
    socket_.async_write(boost::asio::buffer(*sending_),
                        [self = shared_from_this()](beast::error_code error, std::size_t /*n*/) {
                            self->sending_ = nullptr;
                            if (error) {
                                self->Close();
                                return;
                            }
                            self->SendNext();
                        });
}

void PageSocket::End() {
    ending_ = true;
    socket_.async_close(websocket::close_code::going_away,
                        [self = shared_from_this()](beast::error_code /*error*/) {});
}

void PageSocket::Close() {
    ending_ = true;
    beast::get_lowest_layer(socket_).close();
}

}  // namespace vhost::studio
