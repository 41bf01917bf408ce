#include "server/http/connection_answers.h"

#include "server/http/http_replies.h"

MHD_Result ConnectionAnswers::Text(Connection& connection, const ScoreReply& reply) {
    Replying(connection, reply.status);
    return QueueTextReply(connection.handle, reply, reply.close || stopping);
}

MHD_Result ConnectionAnswers::Web(Connection& connection, const WebReply& reply) {
    Replying(connection, reply.status);
    return QueueWebReply(connection.handle, reply, stopping);
}

MHD_Result ConnectionAnswers::Play(Connection& connection, const PlayReply& reply) {
    Replying(connection, reply.status);
    return QueuePlayReply(connection.handle, reply, stopping);
}

void ConnectionAnswers::Replying(Connection& connection, int status) {
    connection.status = status;
    connections.Replying(connection.entry, Connection::Clock::now());
}

ScoreReply ConnectionAnswers::Busy() const {
    return stopping ? ScoreReply{503, "server is shutting down\n", true}
                    : ScoreReply{503, "server busy, try again later\n", false};
}
