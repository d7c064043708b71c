// The studio's server on loopback, against a host running the real module: the WebSocket
// handshake under the access rules, many open pages beside plain requests, a page that does not
// read its events, and connections that send nothing. The limits are short for the test.

#include "studio/studio_server.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sys/socket.h>

#include "host.h"
#include "started_host.h"
#include "studio/state_binary.h"
#include "studio/studio.h"

namespace {

namespace net = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = net::ip::tcp;
using nlohmann::json;
using Clock = std::chrono::steady_clock;

constexpr const char* kToken = "0123456789abcdef0123456789abcdef";
constexpr std::chrono::seconds kPatience{10};
constexpr std::chrono::milliseconds kRequestTime{300};

// What a connection was told: an answer's status, or a WebSocket's handshake.
struct Told {
    int status = 0;
    std::string body;
};

// A page's WebSocket, or a refusal of its handshake.
class Page {
public:
    Page(net::io_context& io, int port, const std::string& host, const std::string& origin,
         bool withToken, int receiveBuffer = 0)
        : socket_(io) {
        socket_.next_layer().open(tcp::v4());
        if (receiveBuffer > 0) {
            socket_.next_layer().set_option(net::socket_base::receive_buffer_size(receiveBuffer));
        }
        socket_.next_layer().connect(
            {net::ip::make_address_v4("127.0.0.1"), static_cast<unsigned short>(port)});
        socket_.set_option(websocket::stream_base::decorator(
            [origin, withToken](websocket::request_type& request) {
                if (!origin.empty()) request.set(http::field::origin, origin);
                if (withToken)
                    request.set(http::field::cookie, std::string("vela_studio=") + kToken);
            }));
        beast::error_code error;
        socket_.handshake(host, "/api/events", error);
        open_ = !error;
    }

    bool Open() const { return open_; }

    // The next event; {"(closed)", null} once the server closed the socket.
    std::pair<std::string, json> Next() {
        beast::flat_buffer buffer;
        beast::error_code error;
        socket_.read(buffer, error);
        if (error) return {"(closed)", nullptr};
        json event = json::parse(beast::buffers_to_string(buffer.data()));
        return {event["event"].get<std::string>(), std::move(event["data"])};
    }

private:
    websocket::stream<tcp::socket> socket_;
    bool open_ = false;
};

// A studio with its server on a free port of 127.0.0.1, its host thread running the module.
class StudioServerTest : public ::testing::Test {
protected:
    void Start(vhost::studio::ServerLimits limits) {
        server_ = std::make_unique<vhost::studio::StudioServer>(limits);
        port_ = server_->Bind(0);
        ASSERT_GT(port_, 0);
        pageFolder_ = std::filesystem::temp_directory_path() /
                      ("vela-studio-server-test-" + std::to_string(port_));
        std::filesystem::create_directories(pageFolder_ / "drops");
        std::promise<void> started;
        std::future<void> ready = started.get_future();
        hostThread_ = std::thread([this, &started] {
            host_ = StartedHost();
            vhost::Document& document = host_->ActiveDocument();
            vhost::Object* car = document.CreateObject(HOST_OBJECT_NULL, "Car");
            document.CreateObject(HOST_OBJECT_POLYGON, "Wheel", {car});
            document.CreateObject(HOST_OBJECT_POLYGON, "Ground");
            core_ = std::make_unique<vhost::studio::Studio>(
                *host_, vhost::studio::StudioSettings{
                            {kToken, port_}, pageFolder_, "", pageFolder_ / "drops"});
            server_->Start(core_->Handler());
            started.set_value();
            core_->Run();
            // The server goes before what its handler reaches, once the test is done with both.
            released_.get_future().wait();
            server_->Stop();
            core_.reset();
            host_->Shutdown();
            host_.reset();
        });
        ASSERT_EQ(ready.wait_for(kPatience), std::future_status::ready);
    }

    void TearDown() override {
        if (hostThread_.joinable()) {
            core_->Stop();
            released_.set_value();
            hostThread_.join();
        }
        std::filesystem::remove_all(pageFolder_);
    }

    std::string Host() const { return "127.0.0.1:" + std::to_string(port_); }
    std::string Origin() const { return "http://" + Host(); }

    tcp::socket Connect() {
        tcp::socket socket(io_);
        socket.connect({net::ip::make_address_v4("127.0.0.1"), static_cast<unsigned short>(port_)});
        return socket;
    }

    // Sends a request with the token and waits for its answer; status 0 when none came within
    // the patience.
    Told Ask(http::verb method, const std::string& target, const std::string& body = {}) {
        http::request<http::string_body> request{method, target, 11};
        request.set(http::field::host, Host());
        request.set(http::field::cookie, std::string("vela_studio=") + kToken);
        if (method == http::verb::post) request.set(http::field::content_type, "application/json");
        request.body() = body;
        request.prepare_payload();
        return Ask(request);
    }

    // A WebSocket handshake, answered as HTTP when it is refused.
    Told AskForEvents(const std::string& host, const std::string& origin, bool withToken) {
        http::request<http::string_body> request{http::verb::get, "/api/events", 11};
        request.set(http::field::host, host);
        if (!origin.empty()) request.set(http::field::origin, origin);
        if (withToken) request.set(http::field::cookie, std::string("vela_studio=") + kToken);
        request.set(http::field::upgrade, "websocket");
        request.set(http::field::connection, "Upgrade");
        request.set(http::field::sec_websocket_version, "13");
        request.set(http::field::sec_websocket_key, "dGhlIHNhbXBsZSBub25jZQ==");
        return Ask(request);
    }

    Told Upload(const std::string& query, const std::string& bytes, const std::string& token) {
        http::request<http::string_body> request{http::verb::post, "/api/upload?" + query, 11};
        request.set(http::field::host, Host());
        request.set(http::field::cookie, "vela_studio=" + token);
        request.set(http::field::content_type, "application/octet-stream");
        request.body() = bytes;
        request.prepare_payload();
        return Ask(request);
    }

    // The files under the folder of dropped files, by their path in it.
    std::vector<std::string> DroppedFiles() const {
        std::vector<std::string> files;
        for (const auto& entry :
             std::filesystem::recursive_directory_iterator(pageFolder_ / "drops")) {
            if (entry.is_regular_file()) {
                files.push_back(entry.path().lexically_relative(pageFolder_ / "drops").string());
            }
        }
        return files;
    }

    Told Ask(const http::request<http::string_body>& request) {
        tcp::socket socket = Connect();
        http::write(socket, request);
        std::future<Told> answer = std::async(std::launch::async, [&socket] {
            beast::flat_buffer buffer;
            http::response<http::string_body> response;
            beast::error_code error;
            http::read(socket, buffer, response, error);
            return error ? Told{} : Told{static_cast<int>(response.result_int()), response.body()};
        });
        if (answer.wait_for(kPatience) != std::future_status::ready) {
            ::shutdown(socket.native_handle(), SHUT_RDWR);
        }
        return answer.get();
    }

    std::uint64_t Version() {
        return vhost::studio::DecodeWholeState(Ask(http::verb::get, "/api/state").body)
            .members["version"]
            .get<std::uint64_t>();
    }

    void SelectWheel() {
        const json state = vhost::studio::WholeStateJson(
            vhost::studio::DecodeWholeState(Ask(http::verb::get, "/api/state").body));
        for (const json& object : state["objects"]) {
            if (object["name"] == "Wheel") {
                ASSERT_EQ(Ask(http::verb::post, "/api/select", json{{"ids", {object["id"]}}}.dump())
                              .status,
                          200);
            }
        }
    }

    net::io_context io_;
    std::unique_ptr<vhost::studio::StudioServer> server_;
    int port_ = 0;
    std::filesystem::path pageFolder_;
    std::thread hostThread_;
    std::promise<void> released_;  // the test is done with the server and the studio
    std::unique_ptr<vhost::Host> host_;
    std::unique_ptr<vhost::studio::Studio> core_;
};

TEST_F(StudioServerTest, TheHandshakeKeepsTheRulesOfEveryRequest) {
    Start({});
    const std::string reboundHost = "studio.example.com:" + std::to_string(port_);
    EXPECT_FALSE(Page(io_, port_, Host(), Origin(), false).Open());
    EXPECT_FALSE(Page(io_, port_, Host(), "http://example.com", true).Open());
    EXPECT_FALSE(Page(io_, port_, reboundHost, "", true).Open());
    const Told stranger = AskForEvents(Host(), Origin(), false);
    EXPECT_EQ(stranger.status, 401);
    EXPECT_NE(stranger.body.find("token"), std::string::npos);
    EXPECT_EQ(AskForEvents(Host(), "http://example.com", true).status, 403);
    EXPECT_EQ(AskForEvents(Host(), "http://127.0.0.1:1", true).status, 403);
    EXPECT_EQ(AskForEvents(reboundHost, "", true).status, 403);
    EXPECT_EQ(AskForEvents(Host(), Origin(), true).status, 101);
    EXPECT_EQ(Ask(http::verb::get, "/api/events").status, 426);
    EXPECT_EQ(core_->Events().Subscribers(), 0U);

    Page page(io_, port_, Host(), Origin(), true);
    ASSERT_TRUE(page.Open());
    const auto [name, hello] = page.Next();
    EXPECT_EQ(name, "hello");
    EXPECT_EQ(hello["version"], Version());
}

TEST_F(StudioServerTest, ManyOpenPagesLeaveRequestsAnsweredAndAllFollowAPress) {
    Start({});
    constexpr int kPages = 40;
    std::vector<std::unique_ptr<Page>> pages;
    pages.reserve(kPages);
    for (int i = 0; i < kPages; ++i) {
        pages.push_back(std::make_unique<Page>(io_, port_, Host(), Origin(), true));
        ASSERT_TRUE(pages.back()->Open()) << "page " << i;
        ASSERT_EQ(pages.back()->Next().first, "hello");
    }
    // Idle connections that never send a request hold nothing either.
    constexpr int kIdle = 20;
    std::vector<tcp::socket> idle;
    idle.reserve(kIdle);
    for (int i = 0; i < kIdle; ++i) idle.push_back(Connect());
    EXPECT_EQ(Ask(http::verb::get, "/api/state").status, 200);

    SelectWheel();
    const Told press = Ask(http::verb::post, "/api/press", "{}");
    ASSERT_EQ(press.status, 200);
    const json version = json::parse(press.body)["version"];
    for (auto& page : pages) {
        EXPECT_EQ(page->Next().second["version"], version.get<std::uint64_t>() - 1);  // select
        const auto [name, change] = page->Next();
        EXPECT_EQ(name, "change");
        EXPECT_EQ(change["version"], version);
    }
}

TEST_F(StudioServerTest, APageThatDoesNotReadIsDroppedAndStartsOverFromTheWholeState) {
    vhost::studio::ServerLimits limits;
    limits.pendingEvents = std::size_t{8} * 1024;
    Start(limits);
    Page reader(io_, port_, Host(), Origin(), true);
    Page sleeper(io_, port_, Host(), Origin(), true, 4096);
    ASSERT_TRUE(reader.Open() && sleeper.Open());
    SelectWheel();
    std::atomic<std::uint64_t> lastRead{0};
    std::thread reading([&reader, &lastRead] {
        for (auto event = reader.Next(); event.first != "(closed)"; event = reader.Next()) {
            if (event.first == "change") lastRead = event.second["version"].get<std::uint64_t>();
        }
    });
    int presses = 0;
    for (; presses < 60000 && core_->Events().Subscribers() == 2; ++presses) {
        // Through the server: its thread sends each event before the answer, so a page that
        // reads keeps up however busy the machine is.
        ASSERT_EQ(Ask(http::verb::post, "/api/press", "{}").status, 200);
    }
    EXPECT_EQ(core_->Events().Subscribers(), 1U) << "after " << presses << " presses";
    RecordProperty("presses", presses);
    // The reader kept up and had every event.
    const std::uint64_t version = Version();
    const auto deadline = Clock::now() + kPatience;
    while (lastRead != version && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(lastRead, version);
    // The sleeper reads what reached it before it was dropped, then finds the socket closed.
    std::uint64_t sleeperLast = 0;
    std::string name;
    for (auto event = sleeper.Next(); event.first != "(closed)"; event = sleeper.Next()) {
        if (event.first == "change") sleeperLast = event.second["version"].get<std::uint64_t>();
    }
    EXPECT_LT(sleeperLast, version);
    // Connected again, it is told the version of the whole state, which it then fetches.
    Page again(io_, port_, Host(), Origin(), true);
    ASSERT_TRUE(again.Open());
    EXPECT_EQ(again.Next().second["version"], version);
    core_->Stop();
    reading.join();
}

TEST_F(StudioServerTest, IdleAndSlowConnectionsAreClosedAndHoldUpNobody) {
    vhost::studio::ServerLimits limits;
    limits.requestTime = kRequestTime;
    Start(limits);
    // The server's clock for a connection starts when it accepts it, after this one.
    const auto opened = Clock::now();
    tcp::socket silent = Connect();
    tcp::socket slow = Connect();
    net::write(slow, net::buffer(std::string("GET /api/state HTTP/1.1\r\nHost: ") + Host()));
    EXPECT_EQ(Ask(http::verb::get, "/api/state").status, 200);
    for (tcp::socket* socket : {&silent, &slow}) {
        std::future<beast::error_code> closed = std::async(std::launch::async, [socket] {
            char byte = 0;
            beast::error_code error;
            net::read(*socket, net::buffer(&byte, 1), error);
            return error;
        });
        ASSERT_EQ(closed.wait_for(kPatience), std::future_status::ready);
        EXPECT_EQ(closed.get(), net::error::eof);
    }
    EXPECT_GE(Clock::now() - opened, kRequestTime);
}

TEST_F(StudioServerTest, AnUploadIsWrittenAsItArrivesAndOnlyKeptWhenItIsDone) {
    Start({});
    std::string bytes(std::size_t{3} << 20, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7919 % 251);
    // Refused from its header alone: its body is never read, nor written anywhere.
    EXPECT_EQ(Upload("name=small.bin", "bytes", "0123456789abcdef0123456789abcdee").status, 401);
    const Told kept = Upload("name=big%20one.bin", bytes, kToken);
    ASSERT_EQ(kept.status, 200) << kept.body;
    EXPECT_EQ(json::parse(kept.body)["name"], "big one.bin");
    EXPECT_EQ(Upload("name=big%20one.bin&drop=1", "other", kToken).status, 400);
    EXPECT_EQ(Upload("name=..&drop=1", "other", kToken).status, 400);

    const std::vector<std::string> files = DroppedFiles();
    ASSERT_EQ(files.size(), 1U);
    const std::filesystem::path file = pageFolder_ / "drops" / files[0];
    EXPECT_EQ(file.filename(), "big one.bin");
    EXPECT_EQ(file.parent_path().filename(), "1");
    std::ifstream in(file, std::ios::binary);
    const std::string back((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(back == bytes);
}

}  // namespace
