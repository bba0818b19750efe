/* The library's C interface, camelCase family (oxazuva.h adds the same
 * functions under snake_case names, and zuva_free). A host includes
 * <zuva/oxazuva.h>, which includes this header.
 *
 * Texts. Every document is UTF-8 JSON text. A char* the library returns is a
 * heap copy that belongs to the host until it releases it with zuva_free; null
 * only where a function says so. A text passed to a callback is valid only
 * during that call: copy what you keep. A null text argument reads as the
 * empty text, unless a function gives null a meaning of its own.
 *
 * Threads. Every function may be called from any thread, also concurrently and
 * from inside callbacks, except zuva_cleanup. The library runs its own threads
 * (one or more per service and per terminal connection); the callbacks marked
 * "library thread" below come on them, so expect any of them on any thread and
 * concurrently with your own calls. A callback runs on a thread that serves its
 * terminal or service: return promptly, and never wait inside a callback for
 * another callback (for the result of a transaction sent from it, say); hand the
 * work to a thread of your own instead. A null callback is never called.
 * The Qt message handler in place before the set-up, which gets the library's
 * warnings, is called as a callback is: on a library thread, or on your thread
 * inside the library call that met the incident. A call made from it is served
 * as one from a result callback (a stop returns at once, an exit ends the
 * process as from a callback). No call from a callback or from that handler
 * is refused for being made inside another call: only one made while a signal
 * handler has interrupted a library call (see Ending).
 *
 * Set-up. The first call of a function that concerns services, terminals or
 * settings sets the library up on the calling thread: when the process has no
 * Qt application, the library makes one there (and keeps LC_NUMERIC at "C").
 * zuva_Initialize does only that; calling it first is optional. Make that
 * first call before any thread of yours may end the process: an exit while
 * another thread makes it may crash the process. The exit begins, for the
 * library, when its own exit work runs, after the exit handlers (atexit,
 * static objects) of yours made after your first call; those are still
 * served. From then on the library is not set up (the call returns its
 * failure value) and no service starts. Exit handlers of yours made before
 * your first call run after that work, once the Qt objects the recovery
 * files are read and written with may be gone: their recovery-file calls are
 * refused (null, 0), as is any made once the exit's work has waited for
 * those under way (see Ending in <zuva/HostGuide.md>).
 *
 * Ending. Stop the services from a thread of your own, call zuva_cleanup
 * once, last, on the thread that set the library up, and return from main.
 * Call neither exit() nor a library function from a signal handler; set a
 * flag that main checks instead. An exit from a handler may never end the
 * process, since the interrupted call may hold the allocator's lock; a
 * library call made while a handler has interrupted a library call on the
 * same thread is refused with its failure value, since the interrupted call
 * may hold the library's locks.
 * Set the library up after forking or daemonizing, never before: in a forked
 * child that has not called exec the calls that need the library's threads
 * (services, terminals, transactions, the stop and the clean-up) are refused;
 * the settings, the version, the serial ports and the recovery files are
 * still answered. dlclose never unloads
 * the library; a host may dlclose it at any time after its last call.
 * <zuva/HostGuide.md>, "Ending", says what each step waits for, what an exit
 * with services running does, and what a forked child gets.
 *
 * Errors reach the host as an object "error" (in a result or through the
 * service-error callback):
 *   {"error": {"code": 2, "causeCode": 15, "extraInformation": [{"key": "reason", "val": "..."}]}}
 * with "code" 1 Rejected, 2 Technical_Issue, 3 No_WIFI or 5 Timeout and, as the
 * case may be, "causeCode", the terminal's "incidentCode" {"code": "2630",
 * "error": true} or "rejectionCode" {"code": "..."}, and "extraInformation".
 * No function lets an exception out: an unexpected internal failure gives
 * the function's failure value (-1, null or 0 as stated) and a log line
 * (<zuva/HostGuide.md> says where the library's lines go).
 *
 * <zuva/HostGuide.md>, installed beside this header, lists the actions a
 * request may name with their keys, the keys of each result, the time-outs,
 * how a host ends, and where the recovery files lie. */
#ifndef ZUVA_OXAZUVAWRAPPER_H
#define ZUVA_OXAZUVAWRAPPER_H

#ifdef __cplusplus
extern "C" {
#endif

#define ZUVA_EXPORT __attribute__((visibility("default")))

/* Receives a JSON document as text (valid during the call only) and the user
 * data given with the callback. */
typedef void (*zuva_callback)(const char* json, void* userData);
/* Releases the user data of a transaction; called once, when the library no
 * longer refers to it. */
typedef void (*zuva_free_function)(void* userData);
/* Answers a terminal's question: the answer as JSON text and the reply handle
 * of the transaction (see zuva_sendTransaction). */
typedef void (*zuva_reply_function)(const char* answer, void* replyHandle);

/* Sets the library up on the calling thread (see Set-up above). */
ZUVA_EXPORT void zuva_Initialize(void);

/* Starts a service that listens on the TCP port (its low 16 bits) for terminals.
 * A terminal connects, announces itself within the setting
 * "connectionAdviceTimeout" (milliseconds, default 1500) or is dropped, and is
 * then reported connected.
 *
 * The six callbacks, all given userData:
 *   started       inside this call, on the calling thread, with "" before it returns;
 *                 the service's first report: no other begins before it has returned;
 *   stopped       with "", the service's last report (see zuva_stopService);
 *   connected     library thread: {"terminal": {"terminalIdentifier", "terminalModel",
 *                 "terminalSerialNumber", "softwareVersion", "deviceType",
 *                 "deviceTypeName", "EMVKernelVersion"}} (keys the terminal sent);
 *   disconnected  library thread: the same document, once, only for a terminal
 *                 reported connected and always after that report; its
 *                 transactions in flight have received their results before;
 *   error         inside this call, on the calling thread, when the service
 *                 cannot start (a port that cannot be listened on: code 2,
 *                 cause 1, with a "reason"); not called otherwise;
 *   notification  library thread: {"event": {"terminalIdentifier", "synchronizationState"}},
 *                 only for terminals whose notifications are enabled.
 * A terminal that announces the identifier of one already connected ends both
 * connections: the older is reported disconnected, and the terminal is
 * reported connected again once it reconnects. A connection that announces
 * another identifier than the one it had is reported disconnected under the
 * old one (its transactions in flight go on), then connected under the new one,
 * unless it is being closed already (two terminals that swap identifiers at
 * once, say): it is then never reported under the new one.
 *
 * Returns the service's handle, or null when the service could not start (the
 * error callback has been called; started has not). The handle is an opaque
 * pointer-sized value, valid until zuva_stopService or zuva_cleanup has stopped
 * the service; afterwards a new service may get the same value. userData must
 * stay usable until the stopped callback has run; for a service never reported
 * stopped, until the process ends: never free it then (<zuva/HostGuide.md>,
 * "Ending"). */
ZUVA_EXPORT void* zuva_createTcpIpService(int port, zuva_callback started, zuva_callback stopped,
                                          zuva_callback connected, zuva_callback disconnected,
                                          zuva_callback error, zuva_callback notification, void* userData);
/* The same on a serial port (by name, e.g. "/dev/ttyS0") at 9600 baud, or at
 * the given rate in bits per second (e.g. 115200); parity none, one stop bit.
 * The terminal is reported connected once the serial link is up and it has
 * identified itself. A port that cannot be opened is not reported: the service
 * starts, and no terminal connects. A lost link is noticed only with the
 * setting "serialHeartBeatInterval" above 0 when the service starts, and only
 * while no transaction awaits a reply: the heartbeat pauses from the moment a
 * transaction's message is written until none awaits a reply, so a cable cut
 * during a transaction shows only once it has ended (its time-out, or a reset),
 * and one whose own frame goes unacknowledged fails with code 2, cause 18 while
 * the terminal stays reported connected. After a cut, a register that sends its
 * next transaction as soon as the last one ends leaves the heartbeat no room:
 * each fails with code 2, cause 18 (or code 5 when its own time-out is the
 * shorter, as for an information request), and the terminal stays reported
 * connected until the line has been idle for a heartbeat interval and its
 * repeats. Once the terminal is identified again, ask it for the last
 * transaction (see <zuva/HostGuide.md>, "Connections"). Null only when the
 * service cannot be set up at all (the error callback says why). */
ZUVA_EXPORT void* zuva_createSerialService(const char* portName, zuva_callback started, zuva_callback stopped,
                                           zuva_callback connected, zuva_callback disconnected,
                                           zuva_callback error, zuva_callback notification, void* userData);
ZUVA_EXPORT void* zuva_createSerialService2(const char* portName, int baudRate, zuva_callback started,
                                            zuva_callback stopped, zuva_callback connected,
                                            zuva_callback disconnected, zuva_callback error,
                                            zuva_callback notification, void* userData);
/* Stops the service. Called on a thread of your own, it fails the service's
 * transactions in flight (code 2, cause 18), reports each connected terminal
 * disconnected, then calls the stopped callback, all before it returns. The
 * stopped callback waits until every report of the service under way on
 * another thread has returned: never stop while holding a lock that a
 * callback takes. Called from inside a callback, the stop runs on a library
 * thread and returns at once; its reports come later. A null, unknown or
 * already stopped handle does nothing. Returns 0; -1 on an internal failure
 * and in a forked child, where it does nothing. An exit with services still
 * running: see <zuva/HostGuide.md>, "Ending". */
ZUVA_EXPORT int zuva_stopService(void* handle);
/* 0 when a service knows a terminal with that identifier, -1 when not. A
 * terminal on a serial line whose link is lost is reported disconnected but
 * stays known until its port closes: 0 still, and a transaction sent to it
 * fails at once with code 2, cause 18 until the link is back (the terminal is
 * then identified and reported connected again). */
ZUVA_EXPORT int zuva_isTerminalConnected(const char* terminalId);
/* {"terminals": [...]}: the "terminal" object of each connected terminal of
 * every service; none once an exit has left the connections to the process's
 * end. Null only on an internal failure and in a forked child. */
ZUVA_EXPORT char* zuva_getConnectedTerminals(void);
/* Sends a request {"transaction": {"action": "...", ...}} to the terminal.
 *
 * Returns 0 when the terminal's connection has accepted it: the result callback
 * then receives exactly one result on a library thread ({"result": {...}} or
 * {"error": {...}}; code 1 cause 19 with the terminal's "incidentCode" at once
 * when the terminal's error reply goes to it (below), whatever its message
 * type, code 1 cause 20 for a rejection; code 5 when the terminal does not answer
 * within the action's time-out, code 2 cause 30 after zuva_resetTransaction or an
 * "MMIClose" sent meanwhile, code 2 cause 18 when the connection is lost or,
 * on a serial line, the request's frame goes unacknowledged (never cause 30) or
 * its service stops, code 1 cause 14 when the terminal runs another
 * transaction). It may send the next
 * transaction from inside that callback.
 *
 * Which reply belongs to it: the reply of the kind it awaits. A terminal that
 * echoes its requests' numbers gets each transaction its own reply, and a late
 * reply of a reset or timed-out one is warned of, never the next one's result.
 * One that sends no number or 0, a counter of its own or always one number gets
 * each transaction the reply of its kind that comes while it waits, so a reset
 * sale's late approval coming while the next sale waits can become that sale's
 * result. While the terminal echoes, a reply sent again is only logged; once
 * two transactions took replies under their own, different numbers, another
 * reply under an answered one's number is warned of and answers no other
 * request. An approval or an entry's key that no transaction takes is warned
 * of. A transaction that ends without its reply after one of its kind was set aside
 * while it waited is warned of, naming that reply. After a sale that ended without its reply, and after such a warning,
 * send "LastTransaction" before selling again: its result is that sale's only
 * when its "transactionIdentifier" differs from the approval before's (see
 * <zuva/HostGuide.md>, "Time-outs"). A reply awaited by a transaction
 * set aside by a "CancelRetail" goes to it first; the answer to a delivery
 * question goes to the sale that asked it.
 *
 * A sale's result carries no ticket
 * text: send a "TicketGet" request for it (see <zuva/HostGuide.md>). Its
 * "authorizedAmount" and "currency" are what the terminal approved, which may
 * differ from the request or be missing without any error: compare them with
 * the request before booking the sale. An amount the library cannot read, or
 * a currency it does not know, is left out, never given as 0 (a warning names
 * the key). For "SaleWithCashback" "authorizedAmount" is the total approved,
 * cash-back included. "partialApproval" (true or absent) is set only by the
 * terminal's own partial-approval code. Texts from the terminal are read as
 * UTF-8 when they hold a well-formed multi-byte UTF-8 letter (a bad byte, say
 * of a last letter cut short, then becomes U+FFFD), else as ISO 8859-1.
 * Returns -1 when it is refused (terminal not connected: code 2 cause 15 with
 * the reason "Terminal with id <id> is not connected"; text that is no JSON
 * request, an unknown action or a field the request cannot carry: code 2
 * cause 15 or the request's own error, with a "reason"; in a forked child,
 * and once an exit has left the connections to the process's end: code 2
 * cause 12 with a "reason", and nothing is sent): the result callback
 * has then received that error inside this call, on the calling thread.
 *
 * Questions. During a transaction that asks the host something (a sale with
 * delivery confirmation asks whether the product was delivered) the result
 * callback also receives the question, as {"result": {"productdelivery": true,
 * ...}}, on a library thread, before the result. To answer, call
 * (*replyFunction)(answer, replyHandle) before that callback returns, e.g. with
 * {"ProductDelivery": {"deliveryAccepted": true}}; the last answer given
 * counts, and no answer refuses the delivery. replyFunction and replyHandle
 * may be null when the host never answers; the values written there are valid
 * until the free function has been called (without a free function: until the
 * result has been delivered).
 *
 * freeFunction (may be null) is called once with userData when the library no
 * longer refers to it: on a library thread after the result, or inside this
 * call, after the result callback, when the request is refused. Like a
 * callback, it is host code under way until it returns; for a transaction
 * left to the process's end by an exit it never comes (see
 * <zuva/HostGuide.md>, "Ending", for what that means at exit). */
ZUVA_EXPORT int zuva_sendTransaction(const char* terminalId, const char* json, zuva_callback result,
                                     void* userData, zuva_reply_function* replyFunction, void** replyHandle,
                                     zuva_free_function freeFunction);
/* Fails the terminal's transaction in flight, if any, with code 2, cause 30:
 * whichever is in flight when the reset reaches the connection. A reset meant
 * for a transaction that has just ended can end the next one (one sent from
 * its result callback, say): reset only a transaction whose result callback
 * has not started.
 * 0 when the terminal is known (see zuva_isTerminalConnected; also with
 * nothing in flight), -1 when not. */
ZUVA_EXPORT int zuva_resetTransaction(const char* terminalId);
/* {"environment": {"serviceSettings": {...}}}: every setting that is set.
 * Defaults: cardRecognitionTimeout 45, cardInfoTrailingRequestTimeout 30
 * (seconds), connectionAdviceTimeout 1500 (milliseconds), displayResultTimeout 2,
 * certificationModeEnabled false, currencyCode "EUR"; unset at first:
 * deliveryTimeout, serialHeartBeatInterval, certificationFilePath,
 * certificationFileName. Null only on an internal failure. */
ZUVA_EXPORT char* zuva_getSettings(void);
/* Replaces EVERY setting with those of {"serviceSettings": {...}}; a setting
 * left out is unset afterwards (to change one, read them all, change it and
 * set them all); only the certification log keeps its mode, folder and file
 * name when the document leaves them out (see <zuva/HostGuide.md>, which also
 * says what that log holds: card data in clear, meant for certification). Applies
 * to the library as a whole, from the next use of each setting on. Text that
 * is no JSON object is ignored. Returns 0. */
ZUVA_EXPORT int zuva_setSettings(const char* settings);
/* Turns the terminal's events (the notification callback) on (non-zero) or
 * off (0); they are off for a newly connected terminal. 0 when the terminal is
 * known (see zuva_isTerminalConnected), -1 when not. */
ZUVA_EXPORT int zuvaServiceEnableNotifications(const char* terminalId, int enable);
/* { "versionInformation" : { "library" : "2.2.0" }} */
ZUVA_EXPORT char* zuva_getVersionInformation(void);
/* {"terminalConnection": {"ip": "...", "port": n}} for a terminal on TCP/IP,
 * {"terminalConnection": {"port": "/dev/...", "baud": n}} on a serial port; the
 * empty text "" (still to be released) when no service knows the terminal,
 * as in a forked child and once an exit has left the connections to the
 * process's end. */
ZUVA_EXPORT char* zuva_getConnectionDescription(const char* terminalId);
/* Does nothing: the terminal stays connected and no callback follows. Stop
 * its service to end a connection. */
ZUVA_EXPORT void zuva_stopTerminal(const char* terminalId);
/* The names of the serial ports the system offers, as a JSON array of texts
 * ([] when none). Null only on an internal failure. */
ZUVA_EXPORT char* zuva_getAvailableSerialPorts(void);
/* The closed backup-mode recovery files (of payments taken while a terminal
 * was offline), kept under bmrecovery in the working directory the process had
 * when the library first needed them. Two processes may share that folder
 * when they run under one user; never run one there under another (a register
 * started once with sudo, as root): the register then refuses that user's
 * files, and closed files it made are never listed nor exported again (see
 * <zuva/HostGuide.md>, "Recovery files"). While the other process holds the
 * folder's lock, this call waits for it up to 10 s, an export 20 s.
 * They come as a JSON array of objects with the texts "acquirerId",
 * "terminalId", "schemeId", "batchId", "closingDate" (seconds since 1970 UTC),
 * "content" and "fileName"; those of one terminal, or of all when terminalId is
 * null; [] when there are none or they cannot be read. Null when refused at
 * the process's exit (see Set-up) and on an internal failure. */
ZUVA_EXPORT char* zuva_getRecoveryFiles(const char* terminalId);
/* Exports the same selection into the folder (not null, not empty), each
 * under its "fileName"; erase mode 1 erases them afterwards, any other keeps
 * them. 1 on success, 0 otherwise (also when refused at the process's exit). */
ZUVA_EXPORT int zuva_extractRecoveryFiles(const char* terminalId, const char* folder, int eraseMode);
/* Refuses new services from its start, waits for a start under way on
 * another thread, stops every service still running (as zuva_stopService
 * does), then releases the Qt application the library made, unless a stop
 * or start still runs on another thread (the exit releases it then). Call it
 * once, last, on the thread that set the library up, holding no lock that a
 * callback takes. On another thread it still stops the
 * services but leaves that application to the process's end. Never call it
 * from a callback (the services are stopped, but it does not wait for that
 * callback). Call no function afterwards: a service started anyway does not
 * start (null; the error callback gets code 2, cause 1, with a "reason").
 * A Qt host keeps its QCoreApplication until after it: once the application
 * has gone, a stop or clean-up ends no connection and leaves them to the
 * process's end, with a warning (the stopped callback still comes); their
 * threads stop reading them, and the clean-up waits 5 s at most for the
 * library's work under way. Deleting the application waits a second at most
 * for the events its threads have on their way. An application the host made after the
 * library's first call is never taken: the library's own then stays.
 * Does nothing in a forked child. See <zuva/HostGuide.md>, "Ending". */
ZUVA_EXPORT void zuva_cleanup(void);

#ifdef __cplusplus
}
#endif

#endif
