#include "http/http_types.h"

#include <gtest/gtest.h>

#include <string>

using tc::http::URL;

// What the parser accepts it writes out in a form that parses back to the same address: resume data
// and redirects store the written form.
TEST(URLText, WhatIsAcceptedWritesBackAsTheSameAddress) {
    for (const std::string text : {"http://h.test/p?q=1#f", "https://user@h.test:8443/a/b",
                                   "http://h.test:/x", "http://[::1]:8080/x", "http://127.0.0.1/n'n"}) {
        auto url = URL::parse(text);
        ASSERT_TRUE(url) << text;
        auto again = URL::parse(url->absoluteString());
        ASSERT_TRUE(again) << text << " written as " << url->absoluteString();
        EXPECT_EQ(again->absoluteString(), url->absoluteString()) << text;
        EXPECT_EQ(again->host(), url->host()) << text;
        EXPECT_EQ(again->port(), url->port()) << text;
    }
}

TEST(URLText, AHostHoldingAColonIsRefused) {
    EXPECT_FALSE(URL::parse("http://127.0.0.1:80nn:/x"));
    EXPECT_FALSE(URL::parse("http://a:b:/"));
    EXPECT_FALSE(URL::parse("http://h.test:80x/"));
    EXPECT_TRUE(URL::parse("http://[::1]:/"));
}
