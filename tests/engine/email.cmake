# The e-mail step's tests, against a real SMTP server (smtp_sink.py).
foreach(test tst_email_step tst_email_runner)
    tarvik_add_test(${test} SOURCES ${test}.cpp tst_email_sink.h LIBS tarvik_engine)
    target_compile_definitions(${test} PRIVATE
        TARVIK_TEST_SOURCE_DIR="${CMAKE_CURRENT_SOURCE_DIR}")
endforeach()
