# Checks a system-call trace (strace -f -y) for the order of durability. With PIECE (the
# pieces' length) and TOTAL (their bytes together), when piece N (a file named N__NAME)
# under ROOT is deleted, the file the job writes must have been flushed, with success, at
# least as far as the end of piece N's bytes, min(N × PIECE, TOTAL): it may hold later bytes
# not yet flushed. When any other file under ROOT is deleted, or without PIECE, every file
# under ROOT that was emptied or written before must have been flushed since. With FOLDERS=1, so
# must every folder under ROOT that gained or lost an entry (a created file or folder, a
# rename). A file renamed must have been flushed before, so that its new name never stands
# for bytes not on the disk. Prints one line per breach and the summary lines "deletions N"
# and "renames N"; exits 1 on any breach.
#
# With REPORT, the file the program writes its result to once the job has ended, every
# deletion must also come before that write: a delete that the system accepted but carried
# out only when the program exited would not count.
#
# Variables: ROOT (real path of the test folder), FOLDERS (1 natively, 0 under Wine),
# ALIAS (a prefix such as WINEPREFIX/dosdevices/z: that stands for "/", or empty), REPORT,
# PIECE and TOTAL.

function parent(path,    at) {
    at = match(path, /\/[^\/]*$/)
    return at > 1 ? substr(path, 1, at - 1) : "/"
}

function normal(path) {
    if (ALIAS != "" && index(path, ALIAS) == 1) {
        path = substr(path, length(ALIAS) + 1)
    }
    sub(/\/+$/, "", path)
    return path
}

function mine(path) {
    return path == ROOT || index(path, ROOT "/") == 1
}

# The path of the descriptor annotated by -y at the start of `text` ("3</a/b>"), or "".
function fdpath(text,    path) {
    if (!match(text, /^[0-9]+<[^>]*>/)) {
        return ""
    }
    path = substr(text, RSTART, RLENGTH)
    sub(/^[0-9]+</, "", path)
    sub(/>$/, "", path)
    return normal(path)
}

# The first quoted string in `text`.
function quoted(text) {
    if (!match(text, /"[^"]*"/)) {
        return ""
    }
    return normal(substr(text, RSTART + 1, RLENGTH - 2))
}

# The second quoted string in `text`.
function quoted2(text) {
    if (!match(text, /"[^"]*"/)) {
        return ""
    }
    return quoted(substr(text, RSTART + RLENGTH))
}

# The number of the piece `path` names, or 0.
function piece(path,    name) {
    if (!match(path, /\/[0-9]+__[^\/]*$/)) {
        return 0
    }
    name = substr(path, RSTART + 1)
    sub(/__.*/, "", name)
    return name + 0
}

function breach(what) {
    print "breach: " what
    failed = 1
}

BEGIN {
    ROOT = normal(ROOT)
    REPORT = normal(REPORT)
}

{
    line = $0
    pid = $1
    # strace -f splits a call that another process interrupts; join the halves, and take
    # the call where it returned.
    if (line ~ /<unfinished \.\.\.>$/) {
        sub(/ *<unfinished \.\.\.>$/, "", line)
        pending[pid] = line
        next
    }
    if (match(line, /<\.\.\. [a-z0-9_]+ resumed>/)) {
        line = pending[pid] substr(line, RSTART + RLENGTH)
        delete pending[pid]
    }
    if (!match(line, /[a-z0-9_]+\(/)) {
        next
    }
    call = substr(line, RSTART, RLENGTH - 1)
    args = substr(line, RSTART + RLENGTH)
    result = line
    sub(/.* = /, "", result)
    ok = result ~ /^[0-9]/
    if (!ok) {
        next
    }

    if (call == "openat" || call == "open" || call == "creat") {
        if (call == "openat") {
            sub(/^[^,]*, /, "", args)
        }
        if (call == "creat" || args ~ /O_CREAT|O_TRUNC/) {
            path = fdpath(result)
            if (mine(path)) {
                # A file made empty loses its bytes; one only made holds none yet, and its
                # name is the folder's to flush.
                if (call == "creat" || args ~ /O_TRUNC/) {
                    dirty[path] = 1
                    size[path] = 0
                }
                if (args ~ /O_CREAT/ || call == "creat") {
                    entries[parent(path)] = 1
                }
            }
        }
    } else if (call == "mkdir" || call == "mkdirat") {
        if (call == "mkdirat") {
            sub(/^[^,]*, /, "", args)
        }
        path = quoted(args)
        if (mine(parent(path))) {
            entries[parent(path)] = 1
        }
    } else if (call ~ /^(write|pwrite64|writev|pwritev|pwritev2|ftruncate|fallocate)$/) {
        path = fdpath(args)
        if (mine(path)) {
            dirty[path] = 1
            if (call == "ftruncate") {
                cut = args
                sub(/^[^,]*, */, "", cut)
                sub(/\).*/, "", cut)
                size[path] = cut + 0
            } else if (call != "fallocate") {
                size[path] += result + 0
                written = path
            }
        }
        if (REPORT != "" && path == REPORT) {
            reported = 1
        }
    } else if (call == "copy_file_range" || call == "splice" || call == "sendfile") {
        # The file written is the third argument of the first two, the first of sendfile.
        if (call != "sendfile") {
            sub(/^[^,]*, [^,]*, /, "", args)
        }
        path = fdpath(args)
        if (mine(path)) {
            dirty[path] = 1
            size[path] += result + 0
            written = path
        }
    } else if (call == "fsync" || call == "fdatasync") {
        path = fdpath(args)
        durable[path] = size[path]
        delete dirty[path]
        delete entries[path]
    } else if (call == "rename" || call == "renameat" || call == "renameat2") {
        from = quoted(args)
        to = quoted2(args)
        if (!mine(from) && !mine(to)) {
            next
        }
        ++renames
        if (from in dirty) {
            breach("renamed " from " before it was flushed")
        }
        delete dirty[from]
        size[to] = size[from]
        durable[to] = durable[from]
        if (written == from) {
            written = to
        }
        entries[parent(to)] = 1
        entries[parent(from)] = 1
    } else if (call == "unlink" || call == "unlinkat") {
        if (call == "unlinkat") {
            sub(/^[^,]*, /, "", args)
        }
        path = quoted(args)
        if (!mine(path)) {
            next
        }
        ++deletions
        if (reported) {
            breach("deleted " path " only after the job had reported its result")
        }
        number = piece(path)
        if (PIECE > 0 && number > 0) {
            end = number * PIECE < TOTAL ? number * PIECE : TOTAL
            if (durable[written] < end) {
                breach("deleted " path " before " written " was flushed past its bytes")
            }
        } else {
            for (p in dirty) {
                breach("deleted " path " before " p " was flushed")
            }
        }
        if (FOLDERS) {
            for (p in entries) {
                breach("deleted " path " before the new entries of " p " were flushed")
            }
        }
    }
}

END {
    if (REPORT != "" && !reported) {
        breach("the result was never written to " REPORT)
    }
    print "deletions " deletions + 0
    print "renames " renames + 0
    exit failed
}
