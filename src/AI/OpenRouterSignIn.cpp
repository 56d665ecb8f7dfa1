#include "AI/OpenRouterSignIn.h"

QUrl OpenRouterSignIn::callbackURL()
{
    static const QUrl url(QStringLiteral("corvish://openrouter-callback"));
    return url;
}

OpenRouterSignIn::OpenRouterSignIn(std::shared_ptr<Platform::Workspace> workspace, OpenRouterOAuth oauth,
                                   std::chrono::milliseconds timeout, QObject* parent)
    : QObject(parent)
    , m_workspace(std::move(workspace))
    , m_oauth(std::move(oauth))
    , m_logger(PrivacyLog::logger(QStringLiteral("OpenRouterSignIn")))
{
    m_timeout.setSingleShot(true);
    m_timeout.setTimerType(Qt::PreciseTimer);
    m_timeout.setInterval(timeout);
    connect(&m_timeout, &QTimer::timeout, this, &OpenRouterSignIn::timeOut);
}

void OpenRouterSignIn::setState(State state)
{
    if (m_state == state)
        return;
    m_state = std::move(state);
    emit stateChanged();
}

void OpenRouterSignIn::start()
{
    m_session = OpenRouterOAuth::makeSession(callbackURL());
    setState({State::Kind::waiting, {}});
    if (m_workspace)
        m_workspace->openURL(m_session->authorizationURL());
    // A new wait of its own: the previous attempt's time-out no longer counts.
    m_timeout.start();
}

void OpenRouterSignIn::timeOut()
{
    if (m_state.kind != State::Kind::waiting)
        return;
    m_session.reset();
    setState(State::failed(timedOutKey));
}

bool OpenRouterSignIn::handle(const QUrl& url, std::function<void(const QString& key)> onSuccess)
{
    if (url.scheme() != u"corvish")
        return false;
    if (url.host(QUrl::FullyEncoded) != u"openrouter-callback")
        return false;
    if (!m_session)
        return true;

    const OpenRouterOAuth::Session session = *m_session;
    m_timeout.stop();
    m_session.reset();

    const auto code = OpenRouterOAuth::authorizationCode(url, session);
    if (!code) {
        if (code.error() == OpenRouterOAuth::OAuthError::stateMismatch) {
            m_logger.error(QStringLiteral("Rejected an OpenRouter callback whose state did not match"));
            setState(State::failed(mismatchKey));
        } else {
            // Names only: the values may be codes or keys.
            m_logger.error(QStringLiteral("OpenRouter callback carried no usable code; parameters were %1")
                               .arg(OpenRouterOAuth::parameterNames(url).join(u',')));
            setState({});
        }
        return true;
    }

    setState({State::Kind::exchanging, {}});
    m_oauth.exchange(*code, session, this, [this, onSuccess = std::move(onSuccess)](const auto& result) {
        if (result) {
            if (onSuccess)
                onSuccess(*result);
            setState({State::Kind::signedIn, {}});
        } else {
            setState(State::failed(exchangeKey));
        }
    });
    return true;
}

void OpenRouterSignIn::cancel()
{
    m_timeout.stop();
    m_session.reset();
    setState({});
}
