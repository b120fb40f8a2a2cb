// A loopback HTTP server for the online update benchmark (never a test):
//   bench_online_server FOLDER
// listens on 127.0.0.1, prints its port, and answers
//   GET /body/N    with N bytes of type image/png (Content-Length framing),
//   GET /file/NAME with FOLDER/NAME (image/png or image/jpeg by its ending),
// then closes the connection. Runs until killed.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QTcpServer>
#include <QTcpSocket>
#include <cstdio>
#include <memory>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_online_server FOLDER\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    QHash<QByteArray, QByteArray> bodies;
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost))
        return 1;
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        while (QTcpSocket* socket = server.nextPendingConnection()) {
            auto received = std::make_shared<QByteArray>();
            auto answered = std::make_shared<bool>(false);
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [&, socket, received, answered] {
                received->append(socket->readAll());
                if (*answered || !received->contains("\r\n\r\n"))
                    return;
                *answered = true;
                const QByteArray target = received->split(' ').value(1);
                QByteArray type = "image/png";
                if (!bodies.contains(target)) {
                    if (target.startsWith("/body/")) {
                        bodies.insert(target, QByteArray(target.mid(6).toLongLong(), 'x'));
                    } else if (target.startsWith("/file/")) {
                        QFile file(folder.filePath(QString::fromUtf8(target.mid(6))));
                        if (file.open(QIODevice::ReadOnly))
                            bodies.insert(target, file.readAll());
                    }
                }
                if (target.endsWith(".jpg"))
                    type = "image/jpeg";
                const auto body = bodies.constFind(target);
                if (body == bodies.constEnd()) {
                    socket->write("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n");
                } else {
                    socket->write("HTTP/1.1 200 OK\r\nContent-Type: " + type +
                                  "\r\nContent-Length: " + QByteArray::number(body->size()) + "\r\n\r\n");
                    socket->write(*body);
                }
                socket->disconnectFromHost();
            });
        }
    });
    std::printf("%d\n", server.serverPort());
    std::fflush(stdout);
    return app.exec();
}
