#!/usr/bin/env python3
"""Prints croniter's next runs for cron expressions, as an oracle for tst_schedule.

Reads lines "ZONE<TAB>START<TAB>COUNT<TAB>EXPRESSION" on standard input, START in seconds since the epoch and ZONE
an IANA name, and answers each with one line: the COUNT runs after START in seconds since the epoch, separated
by blanks, or "error: " and croniter's reason. One process answers every line, so that thousands cost one start.
"""
import sys
from datetime import datetime
from zoneinfo import ZoneInfo

from croniter import croniter


def runs(zone, start, count, expression):
    it = croniter(expression, datetime.fromtimestamp(start, ZoneInfo(zone)))
    return " ".join(str(int(it.get_next(datetime).timestamp())) for _ in range(count))


def main():
    for line in sys.stdin:
        zone, start, count, expression = line.rstrip("\n").split("\t")
        try:
            print(runs(zone, int(start), int(count), expression))
        except Exception as error:  # croniter's own errors and its give-ups alike: the test says which line
            print("error: %s" % error)


if __name__ == "__main__":
    main()
