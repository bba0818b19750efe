/* Example host: starts a TCP/IP service, prints every callback's JSON, waits
 * for a terminal, asks it for its information, makes a sale and stops.
 * Usage: zuva_example_host PORT [SECONDS]   (exit 0 when both succeeded) */
#include <zuva/oxazuva.h>

#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

struct host {
    pthread_mutex_t mutex;
    pthread_cond_t changed;
    char terminal[128]; /* identifier of the first terminal connected */
    int results;        /* transactions answered with a result */
    int errors;         /* transactions answered with an error */
};

static void print(const char* kind, const char* json)
{
    printf("host: %s %s\n", kind, json[0] ? json : "(empty)");
    fflush(stdout);
}

/* The value of "terminalIdentifier" in a terminal description, if any. */
static void readIdentifier(const char* json, char* out, size_t size)
{
    const char* key = strstr(json, "\"terminalIdentifier\"");
    const char* start = key ? strchr(key + strlen("\"terminalIdentifier\""), '"') : NULL;
    const char* end = start ? strchr(start + 1, '"') : NULL;
    if (!end || (size_t)(end - start - 1) >= size)
        return;
    memcpy(out, start + 1, (size_t)(end - start - 1));
    out[end - start - 1] = '\0';
}

static void onStarted(const char* json, void* data) { (void)data; print("service started", json); }
static void onStopped(const char* json, void* data) { (void)data; print("service stopped", json); }
static void onDisconnected(const char* json, void* data) { (void)data; print("terminal disconnected", json); }
static void onError(const char* json, void* data) { (void)data; print("service error", json); }
static void onNotification(const char* json, void* data) { (void)data; print("notification", json); }

static void onConnected(const char* json, void* data)
{
    struct host* host = data;
    print("terminal connected", json);
    pthread_mutex_lock(&host->mutex);
    if (!host->terminal[0])
        readIdentifier(json, host->terminal, sizeof host->terminal);
    pthread_cond_broadcast(&host->changed);
    pthread_mutex_unlock(&host->mutex);
}

static void onResult(const char* json, void* data)
{
    struct host* host = data;
    print("transaction result", json);
    pthread_mutex_lock(&host->mutex);
    if (strstr(json, "\"result\""))
        host->results++;
    else
        host->errors++;
    pthread_cond_broadcast(&host->changed);
    pthread_mutex_unlock(&host->mutex);
}

/* Sends one request and waits for its answer; 1 when it was a result. */
static int transact(struct host* host, const char* request, const struct timespec* deadline)
{
    zuva_reply_function reply;
    void* replyHandle;
    pthread_mutex_lock(&host->mutex);
    const int answered = host->results + host->errors;
    const int results = host->results;
    pthread_mutex_unlock(&host->mutex);
    printf("host: sending %s\n", request);
    if (zuva_send_transaction(host->terminal, request, onResult, host, &reply, &replyHandle, NULL) != 0)
        return 0;
    pthread_mutex_lock(&host->mutex);
    while (host->results + host->errors == answered)
        if (pthread_cond_timedwait(&host->changed, &host->mutex, deadline) != 0)
            break;
    const int succeeded = host->results > results;
    pthread_mutex_unlock(&host->mutex);
    return succeeded;
}

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: %s PORT [SECONDS]\n", argv[0]);
        return 2;
    }
    struct host host;
    memset(&host, 0, sizeof host);
    pthread_mutex_init(&host.mutex, NULL);
    pthread_cond_init(&host.changed, NULL);
    struct timespec deadline;
    clock_gettime(CLOCK_REALTIME, &deadline);
    deadline.tv_sec += argc > 2 ? atoi(argv[2]) : 30;

    char* version = zuva_get_version_information();
    print("version", version);
    zuva_free(version);

    void* service = zuva_start_tcpip_service(atoi(argv[1]), onStarted, onStopped, onConnected, onDisconnected,
                                             onError, onNotification, &host);
    if (!service)
        return 1;

    pthread_mutex_lock(&host.mutex);
    int connected = 0;
    while (!host.terminal[0])
        if (pthread_cond_timedwait(&host.changed, &host.mutex, &deadline) != 0)
            break;
    connected = host.terminal[0] != '\0';
    pthread_mutex_unlock(&host.mutex);

    int succeeded = 0;
    if (connected) {
        char* description = zuva_get_connection_description(host.terminal);
        print("connection", description);
        zuva_free(description);
        succeeded = transact(&host, "{\"transaction\": {\"action\": \"InformationService\"}}", &deadline)
            && transact(&host, "{\"transaction\": {\"action\": \"Sale\", \"amount\": \"12.50\"}}", &deadline);
    }

    zuva_stop_service(service);
    zuva_clean_up();
    return succeeded ? 0 : 1;
}
