#pragma once

#include "transfers/TransferDecision.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

// Answers the questions from a script and records what was asked.
class TScriptedQuestions : public TTransferQuestions
{
public:
    std::deque<int> Answers;
    std::vector<TOverwriteQuestion> Overwrites;
    std::vector<std::string> Restarts;

    int AskOverwrite(const TOverwriteQuestion &question) override
    {
        Overwrites.push_back(question);
        return Next();
    }
    int AskRestart(const std::string &fileName) override
    {
        Restarts.push_back(fileName);
        return Next();
    }
    int Asked() const { return int(Overwrites.size() + Restarts.size()); }

private:
    int Next()
    {
        EXPECT_FALSE(Answers.empty()) << "unexpected question";
        if (Answers.empty())
            return mrCancel;
        const int answer = Answers.front();
        Answers.pop_front();
        return answer;
    }
};
