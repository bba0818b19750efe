// A host that loads the library with dlopen, sells on three terminals from
// threads of its own and closes the library after its last call: with
// zuva_cleanup before ("cleanup"), or without it while a result callback is
// still under way ("in-callback"). The library must stay loaded, for its
// threads run on; the host then runs on a while and exits 0. The sanitizers
// must report nothing, nor the host itself (lines starting "host:"). With
// "first-call-at-exit" the host loads the library and returns: its own exit
// work, which runs after the library's, makes the first call, refused.
// Usage: unloading_host LIBRARY cleanup|in-callback|first-call-at-exit
#include "engine/service/oxazuva.h"
#include "simterminal/SimSaleReplies.h"
#include "simterminal/SimTerminal.h"
#include "support/ExitingHostSanitizers.h"
#include "support/Wait.h"

#include <dlfcn.h>
#include <link.h>

#include <array>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int Terminals = 3;
constexpr int SalesEach = 3;

// What the callbacks of one terminal's sales see; never destroyed, as the
// library may call in until the process ends.
struct Seller {
    std::string identifier;
    std::atomic<int> results{0};
    std::atomic<int> approved{0};
};

std::array<Seller, Terminals>& sellers = *new std::array<Seller, Terminals>;
// Never destroyed: the library may still talk to them at the exit.
std::vector<testsupport::SimTerminal*>& terminals = *new std::vector<testsupport::SimTerminal*>;
std::atomic<int> connected{0};
// "in-callback": the last result of the first terminal holds its callback
// until the host has closed the library.
bool holdLastResult = false;
std::atomic<bool> holding{false};
std::atomic<bool> released{false};
std::atomic<bool> returning{false};

void ignore(const char*, void*) {}

void onConnected(const char*, void*)
{
    ++connected;
}

void onResult(const char* json, void* data)
{
    Seller& seller = *static_cast<Seller*>(data);
    if (std::strstr(json, "\"result\""))
        ++seller.approved;
    const int results = ++seller.results;
    if (holdLastResult && &seller == &sellers[0] && results == SalesEach) {
        holding = true;
        testsupport::waitUntil([] { return released.load(); });
        returning = true;
    }
}

// The C functions the host calls, looked up in the loaded library.
struct Interface {
    decltype(&zuva_createTcpIpService) createTcpIpService = nullptr;
    decltype(&zuva_sendTransaction) sendTransaction = nullptr;
    decltype(&zuva_cleanup) cleanup = nullptr;
    decltype(&zuva_getSettings) getSettings = nullptr;
    decltype(&zuva_free) free = nullptr;
};

template <typename Function>
bool lookUp(void* library, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(dlsym(library, name));
    if (!function)
        std::printf("host: no %s in the library\n", name);
    return function != nullptr;
}

bool lookUpAll(void* library, Interface& zuva)
{
    return lookUp(library, "zuva_createTcpIpService", zuva.createTcpIpService)
        && lookUp(library, "zuva_sendTransaction", zuva.sendTransaction)
        && lookUp(library, "zuva_cleanup", zuva.cleanup) && lookUp(library, "zuva_getSettings", zuva.getSettings)
        && lookUp(library, "zuva_free", zuva.free);
}

bool connectAll(uint16_t port)
{
    for (int index = 0; index < Terminals; ++index) {
        sellers[index].identifier = "TERM000" + std::to_string(index + 1);
        auto& terminal = *terminals.emplace_back(new testsupport::SimTerminal);
        testsupport::SimSaleReplies::script(terminal, sellers[index].identifier);
        testsupport::SimAdvice advice;
        advice.terminalIdentifier = sellers[index].identifier;
        if (!terminal.connectTo(port) || !terminal.sendAdvice(advice))
            return false;
    }
    return testsupport::waitUntil([] { return connected == Terminals; });
}

// Each sale waits for its result before the next is sent.
void sell(const Interface& zuva, Seller& seller)
{
    const char* const sale = R"({"transaction": {"action": "Sale", "amount": "12.50"}})";
    for (int sent = 1; sent <= SalesEach; ++sent) {
        if (zuva.sendTransaction(seller.identifier.c_str(), sale, onResult, &seller, nullptr, nullptr, nullptr)
                != 0
            || !testsupport::waitUntil([&seller, sent] { return seller.results >= sent; }))
            return;
    }
}

bool sellOnAll(const Interface& zuva)
{
    std::vector<std::thread> threads;
    for (Seller& seller : sellers)
        threads.emplace_back(sell, std::cref(zuva), std::ref(seller));
    for (std::thread& thread : threads)
        thread.join();
    for (const Seller& seller : sellers)
        if (seller.approved != SalesEach) {
            std::printf("host: %d of %d sales approved on %s\n", seller.approved.load(), SalesEach,
                        seller.identifier.c_str());
            return false;
        }
    return true;
}

// Whether the library asks to stay loaded itself. A definition of a unique
// symbol that the loader binds (some builds make one of an inline static)
// keeps it loaded too, but by accident of the build.
bool markedNodelete(void* library)
{
    link_map* map = nullptr;
    if (dlinfo(library, RTLD_DI_LINKMAP, &map) != 0)
        return false;
    for (const ElfW(Dyn)* entry = map->l_ld; entry->d_tag != DT_NULL; ++entry)
        if (entry->d_tag == DT_FLAGS_1)
            return (entry->d_un.d_val & DF_1_NODELETE) != 0;
    return false;
}

// dlclose, then a look whether the library is still loaded.
void closeLibrary(void* library, const char* path)
{
    if (dlclose(library) != 0)
        std::printf("host: dlclose failed: %s\n", dlerror());
    void* const stillLoaded = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
    if (!stillLoaded)
        std::puts("host: the library was unloaded");
    else
        dlclose(stillLoaded);
}

// After the close, the library's threads run on: those that end the
// connections after zuva_cleanup, or the callback under way.
bool runOn()
{
    if (holdLastResult) {
        released = true;
        return testsupport::waitUntil([] { return returning.load(); });
    }
    return testsupport::waitUntil([] {
        for (const testsupport::SimTerminal* terminal : terminals)
            if (!terminal->peerClosed())
                return false;
        return true;
    });
}

int run(const char* path, Interface& zuva)
{
    void* const library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        std::printf("host: cannot load the library: %s\n", dlerror());
        return 1;
    }
    if (!markedNodelete(library))
        std::puts("host: the library is not marked to stay loaded");
    if (!lookUpAll(library, zuva))
        return 1;
    const uint16_t port = testsupport::SimTerminal::freeLoopbackPort();
    if (!zuva.createTcpIpService(port, ignore, ignore, onConnected, ignore, ignore, ignore, nullptr)) {
        std::puts("host: service did not start");
        return 1;
    }
    if (!connectAll(port)) {
        std::puts("host: the terminals were not reported connected");
        return 1;
    }
    if (!sellOnAll(zuva))
        return 1;
    if (holdLastResult && !testsupport::waitUntil([] { return holding.load(); })) {
        std::puts("host: no result callback under way");
        return 1;
    }
    if (!holdLastResult)
        zuva.cleanup();
    closeLibrary(library, path);
    if (!runOn()) {
        std::puts("host: the library's threads did not run on");
        return 1;
    }
    return 0;
}

// Looked up in main, called by the host's exit work.
Interface& atExit = *new Interface;

void callFirstAtExit()
{
    char* const settings = atExit.getSettings();
    if (settings)
        std::puts("host: a first call made once the exit had begun set the library up");
    atExit.free(settings);
}

// Registered before the library loads, so it runs after the library's exit work.
int loadAndReturn(const char* path)
{
    std::atexit(callFirstAtExit);
    void* const library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        std::printf("host: cannot load the library: %s\n", dlerror());
        return 1;
    }
    return lookUpAll(library, atExit) ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[2], "first-call-at-exit") == 0)
        return loadAndReturn(argv[1]);
    if (argc != 3 || (std::strcmp(argv[2], "cleanup") != 0 && std::strcmp(argv[2], "in-callback") != 0)) {
        std::puts("host: usage: unloading_host LIBRARY cleanup|in-callback|first-call-at-exit");
        return 2;
    }
    holdLastResult = std::strcmp(argv[2], "in-callback") == 0;
    Interface zuva;
    return run(argv[1], zuva);
}
