# The e-mail step of a zip run and the SMTP mail component behind it.
target_sources(tarvik_engine PRIVATE
    ConnectionTest.cpp
    CurlMailer.cpp
    EmailStep.cpp
    MailText.cpp
)
