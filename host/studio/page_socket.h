// A page's WebSocket: the events of its subscriber, one message each, as they come. The page
// sends nothing the studio reads (its requests are plain HTTP); what it sends is read and
// dropped, which also answers the pings that find out whether it is still there. A page that
// leaves more than its limit of events unread is dropped at once: its connection is closed and
// what waited for it freed; when it connects again it starts from the whole state.
#pragma once

#include <memory>

#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/message.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/beast/websocket/stream.hpp>

#include "studio/event_stream.h"
#include "studio/server_context.h"

namespace vhost::studio {

class PageSocket : public Connection, public std::enable_shared_from_this<PageSocket> {
public:
    PageSocket(boost::beast::tcp_stream stream, ServerContext& context,
               std::shared_ptr<EventSubscriber> events);

    // Answers the upgrade request, then sends events until the stream ends or the page goes.
    void Accept(boost::beast::http::request<boost::beast::http::string_body> request);
    void Close() override;

private:
    void Follow();
    void ReadAndDrop();
    void SendNext();
    void End();

    boost::beast::websocket::stream<boost::beast::tcp_stream> socket_;
    boost::beast::http::request<boost::beast::http::string_body> upgrade_;
    ServerContext& context_;
    std::shared_ptr<EventSubscriber> events_;
    EventSubscriber::Text sending_;  // the message being written; null when none is
    boost::beast::flat_buffer incoming_;
    bool ending_ = false;
};

}  // namespace vhost::studio
