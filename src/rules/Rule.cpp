#include "rules/Rule.h"

#include "containers/ContentHash.h"
#include "containers/NameCompare.h"
#include "exec/Job.h"
#include "text/CommandMacros.h"
#include "text/InlineBlock.h"

int Rule::compareKey(const std::string& key) const {
    return compareNames(name, key);
}

int Rule::compareNode(const TreeNode& other) const {
    return compareNames(name, static_cast<const Rule&>(other).name);
}

void Rule::addCommand(const std::string& text) {
    commands.append(new ListItem(text));
}

std::uint64_t Rule::commandDigest(const std::string& target) const {
    // The target's own name is the same whenever its digest is compared with
    // the one recorded for it: what else the special macros are replaced by
    // is all that a digest must take beside the lines.
    if (!linesDigest_) {
        ContentHash lines;
        LinesDigest digest;
        for (const ListItem* item = commands.head(); item != nullptr; item = item->next()) {
            lines.addNumber(item->text().size());
            lines.add(item->text());
            digest.namesDependencies =
                digest.namesDependencies || item->text().find("$@") != std::string::npos;
        }
        if (kind == Kind::Inference) {
            const std::string& extension = static_cast<const InferenceRule&>(*this).sourceExtension;
            lines.addNumber(extension.size());
            lines.add(extension);
        }
        digest.digest = lines.value();
        linesDigest_ = digest;
    }
    if (kind == Kind::Inference || !linesDigest_->namesDependencies) {
        return linesDigest_->digest;
    }
    ContentHash hash;
    hash.addNumber(linesDigest_->digest);
    forEachDependency(target, [&hash](const std::string& dependency) {
        hash.addNumber(dependency.size());
        hash.add(dependency);
    });
    return hash.value();
}

void TargetRule::addDependency(std::string dependency) {
    dependencies.append(new ListItem(std::move(dependency)));
}

Job Rule::jobFor(const std::string& target) const {
    Job job;
    job.target = target;
    InlineBlock block;
    std::string line;
    for (const ListItem* item = commands.head(); item != nullptr; item = item->next()) {
        line = item->text();
        expandSpecials(line, target);
        const InlineBlock::Step step = block.feed(line);
        switch (step.role) {
        case InlineBlock::Role::Command:
        case InlineBlock::Role::Opening:
            job.commands.emplace_back();
            job.commands.back().line = std::move(line);
            if (step.role == InlineBlock::Role::Opening) {
                job.commands.back().inlineAt = step.at;
            }
            break;
        case InlineBlock::Role::Content:
            job.commands.back().inlineLines.push_back(std::move(line));
            break;
        case InlineBlock::Role::Closing:
            // What stands before the terminator is the file's last line.
            if (step.at > 0) {
                line.resize(step.at);
                job.commands.back().inlineLines.push_back(std::move(line));
            }
            break;
        }
    }
    if (block.isOpen()) {
        job.commands.back().inlineTerminated = false;
    }
    return job;
}

void Rule::expandSpecials(std::string&, const std::string&) const {}

std::string InferenceRule::sourceOf(const std::string& target) const {
    // Asked for every target the rule makes: a short look back from the end,
    // and one string of the final length.
    std::size_t stem = target.size();
    while (stem > 0 && target[stem - 1] != '.') {
        --stem;
    }
    stem = stem == 0 ? target.size() : stem - 1;
    std::string source(stem + sourceExtension.size(), '\0');
    target.copy(source.data(), stem);
    sourceExtension.copy(source.data() + stem, sourceExtension.size());
    return source;
}

void InferenceRule::forEachDependency(const std::string& target,
                                      const std::function<void(const std::string&)>& visit) const {
    visit(sourceOf(target));
}

void InferenceRule::expandSpecials(std::string& line, const std::string& target) const {
    const std::string base = withoutExtension(target);
    replaceSpecial(line, "$<", base + sourceExtension);
    replaceSpecial(line, "$*", base);
    replaceSpecial(line, "$&", withoutExtension(withoutDirectory(target)));
}

void TargetRule::forEachDependency(const std::string&,
                                   const std::function<void(const std::string&)>& visit) const {
    for (const ListItem* item = dependencies.head(); item != nullptr; item = item->next()) {
        if (!isWaitMark(item->text())) {
            visit(item->text());
        }
    }
}

void TargetRule::expandSpecials(std::string& line, const std::string& target) const {
    if (line.find("$@") != std::string::npos) {
        std::string names;
        bool first = true;
        for (const ListItem* item = dependencies.head(); item != nullptr; item = item->next()) {
            if (isWaitMark(item->text())) {
                continue;
            }
            if (!first) {
                names += ' ';
            }
            first = false;
            names += withoutDirectory(item->text());
        }
        replaceSpecial(line, "$@", names);
    }
    replaceSpecial(line, "$<", target);
    replaceSpecial(line, "$*", withoutExtension(target));
}
