// Line ends of text transfers, however the network cuts the data into blocks.

#include "engine/TransferStreams.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string ToLocal(const std::vector<std::string> &Blocks)
{
    TTextToLocal converter;
    std::string local;
    for (const std::string &block : Blocks)
        converter.Convert(block.data(), block.size(), local);
    converter.Finish(local);
    return local;
}

std::string ToNetwork(const std::string &Local)
{
    std::string network;
    AppendNetworkText(Local.data(), Local.size(), network);
    return network;
}

} // namespace

TEST(TextLineEnds, EveryCutOfTheNetworkFormGivesTheSameFile)
{
    const std::string network = "a\r\nb\rc\r\r\n\n\r\r\nend\r";
    const std::string local = "a\nb\rc\r\n\n\r\nend\r";
    EXPECT_EQ(ToLocal({network}), local);
    for (std::size_t cut = 0; cut <= network.size(); ++cut) {
        for (std::size_t second = cut; second <= network.size(); ++second) {
            SCOPED_TRACE(std::to_string(cut) + "," + std::to_string(second));
            ASSERT_EQ(
                ToLocal({network.substr(0, cut), network.substr(cut, second - cut), network.substr(second)}),
                local);
        }
    }
}

TEST(TextLineEnds, WhatGoesUpComesBackDownUnchanged)
{
    for (const std::string local : {"", "\n", "\r", "\r\n", "one\ntwo\n", "lone\rcr\r\n\r", "\n\n\r\r"}) {
        SCOPED_TRACE(local);
        EXPECT_EQ(ToLocal({ToNetwork(local)}), local);
    }
    EXPECT_EQ(ToNetwork("a\nb\r\n"), "a\r\nb\r\r\n");
}
