// A session manager for the end-to-end tests: it speaks XSMP, as the X11 desktops' session
// managers do, through libSM's own manager side, to one client at a time, and is told what to
// ask from its standard input, one command a line:
//
//   checkpoint   "save yourself" (local state) without shutting down, as "save session" asks
//   logout       "save yourself" (both) before shutting down, as desktops ask at a logout
//   die          "die", which follows a logout
//
// It prints SESSION_MANAGER=<address> first, then what the client does: "registered",
// "save-done 1" (or 0), "closed". It ends at the end of its input, or after 120 s.
// No authentication: any local client may connect.
#include <X11/ICE/ICElib.h>
#include <X11/SM/SMlib.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <poll.h>

namespace {

SmsConn client;
IceConn clientIce;

Bool anyHost(char* hostName) {
    (void)hostName;
    return True;
}

Status registerClient(SmsConn conn, SmPointer data, char* previousId) {
    (void)data;
    (void)previousId;
    char* id = SmsGenerateClientID(conn);
    SmsRegisterClientReply(conn, id);
    free(id);
    printf("registered\n");
    return 1;
}

void saveYourselfDone(SmsConn conn, SmPointer data, Bool success) {
    (void)conn;
    (void)data;
    printf("save-done %d\n", success ? 1 : 0);
}

void closeConnection(SmsConn conn, SmPointer data, int count, char** reasons) {
    (void)data;
    SmFreeReasons(count, reasons);
    IceSetShutdownNegotiation(clientIce, False);
    IceCloseConnection(clientIce);
    SmsCleanUp(conn);
    client = nullptr;
    clientIce = nullptr;
    printf("closed\n");
}

void setProperties(SmsConn conn, SmPointer data, int count, SmProp** properties) {
    (void)conn;
    (void)data;
    for (int i = 0; i < count; ++i)
        SmFreeProperty(properties[i]);
    free(properties);
}

void deleteProperties(SmsConn conn, SmPointer data, int count, char** names) {
    (void)conn;
    (void)data;
    for (int i = 0; i < count; ++i)
        free(names[i]);
    free(names);
}

void getProperties(SmsConn conn, SmPointer data) {
    (void)data;
    SmsReturnProperties(conn, 0, nullptr);
}

void interactRequest(SmsConn conn, SmPointer data, int dialogType) {
    (void)data;
    (void)dialogType;
    SmsInteract(conn);
}

void interactDone(SmsConn conn, SmPointer data, Bool cancelShutdown) {
    (void)conn;
    (void)data;
    (void)cancelShutdown;
}

void saveYourselfRequest(SmsConn conn, SmPointer data, int type, Bool shutdown, int style,
                         Bool fast, Bool global) {
    (void)data;
    (void)global;
    SmsSaveYourself(conn, type, shutdown, style, fast);
}

void phase2Request(SmsConn conn, SmPointer data) {
    (void)data;
    SmsSaveYourselfPhase2(conn);
}

Status newClient(SmsConn conn, SmPointer data, unsigned long* mask, SmsCallbacks* callbacks,
                 char** failure) {
    (void)data;
    if (client) {
        *failure = strdup("one client at a time");
        return 0;
    }
    client = conn;
    memset(callbacks, 0, sizeof *callbacks);
    callbacks->register_client.callback = registerClient;
    callbacks->interact_request.callback = interactRequest;
    callbacks->interact_done.callback = interactDone;
    callbacks->save_yourself_request.callback = saveYourselfRequest;
    callbacks->save_yourself_phase2_request.callback = phase2Request;
    callbacks->save_yourself_done.callback = saveYourselfDone;
    callbacks->close_connection.callback = closeConnection;
    callbacks->set_properties.callback = setProperties;
    callbacks->delete_properties.callback = deleteProperties;
    callbacks->get_properties.callback = getProperties;
    *mask = (1L << 10) - 1;
    return 1;
}

} // namespace

int main() {
    char error[256] = "";
    if (!SmsInitialize("trovan-test", "1.0", newClient, nullptr, anyHost, sizeof error, error)) {
        fprintf(stderr, "session_standin: %s\n", error);
        return 1;
    }
    int count = 0;
    IceListenObj* listeners = nullptr;
    if (!IceListenForConnections(&count, &listeners, sizeof error, error)) {
        fprintf(stderr, "session_standin: %s\n", error);
        return 1;
    }
    for (int i = 0; i < count; ++i)
        IceSetHostBasedAuthProc(listeners[i], anyHost);
    char* address = IceComposeNetworkIdList(count, listeners);
    printf("SESSION_MANAGER=%s\n", address);
    fflush(stdout);
    free(address);

    const time_t end = time(nullptr) + 120;
    char line[64];
    while (time(nullptr) < end) {
        pollfd fds[34];
        int used = 0;
        fds[used++] = pollfd{0, POLLIN, 0};
        if (clientIce)
            fds[used++] = pollfd{IceConnectionNumber(clientIce), POLLIN, 0};
        const int firstListener = used;
        for (int i = 0; i < count && used < 34; ++i)
            fds[used++] = pollfd{IceGetListenConnectionNumber(listeners[i]), POLLIN, 0};
        if (poll(fds, (nfds_t)used, 1000) < 0)
            break;
        if (fds[0].revents) {
            if (!fgets(line, sizeof line, stdin))
                break;
            if (client && strcmp(line, "checkpoint\n") == 0)
                SmsSaveYourself(client, SmSaveLocal, False, SmInteractStyleNone, False);
            else if (client && strcmp(line, "logout\n") == 0)
                SmsSaveYourself(client, SmSaveBoth, True, SmInteractStyleNone, False);
            else if (client && strcmp(line, "die\n") == 0)
                SmsDie(client);
            else
                printf("unknown or no client: %s", line);
        }
        if (clientIce && fds[1].revents) {
            if (IceProcessMessages(clientIce, nullptr, nullptr) == IceProcessMessagesIOError) {
                IceSetShutdownNegotiation(clientIce, False);
                IceCloseConnection(clientIce);
                if (client)
                    SmsCleanUp(client);
                client = nullptr;
                clientIce = nullptr;
                printf("closed\n");
            }
        }
        for (int i = firstListener; i < used; ++i) {
            if (!fds[i].revents)
                continue;
            IceAcceptStatus status;
            IceConn ice = IceAcceptConnection(listeners[i - firstListener], &status);
            if (!ice || clientIce)
                continue;
            // The connection's set-up finishes through its messages.
            IceConnectStatus state;
            while ((state = IceConnectionStatus(ice)) == IceConnectPending)
                if (IceProcessMessages(ice, nullptr, nullptr) == IceProcessMessagesIOError)
                    break;
            if (state == IceConnectAccepted)
                clientIce = ice;
            else
                IceCloseConnection(ice);
        }
        fflush(stdout);
    }
    IceFreeListenObjs(count, listeners);
    return 0;
}
