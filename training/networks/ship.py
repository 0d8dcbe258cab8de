"""Copies the best epoch of each trained network into the engine's data folder under the
names the engine's configuration gives them."""
import argparse
import os
import shutil
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import common  # noqa: E402


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--state", type=int, default=256)
    parser.add_argument("--data", default=common.DATA_DIR)
    args = parser.parse_args(argv)
    os.makedirs(args.data, exist_ok=True)
    for (rate, direction), name in sorted(common.NETWORK_FILES.items()):
        run = "%s_%s_s%d" % (common.rate_tag(rate), direction, args.state)
        source = os.path.join(common.WORK, "runs", run, "best.dat")
        if not os.path.exists(source):
            sys.exit("%s: not trained yet" % source)
        common.read_weight_file(source)  # refuse a damaged file
        shutil.copyfile(source, os.path.join(args.data, name))
        print("%s <- %s" % (name, source))
    return 0


if __name__ == "__main__":
    sys.exit(main())
