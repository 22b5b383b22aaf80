#!/usr/bin/env python3
"""An S3 object store on loopback that checks every request's signature, for
the cloud-storage tests.

usage: moto_fixture.py STATE_DIR

Starts moto's server (in this interpreter) on a free loopback port with INITIAL_NO_AUTH_ACTION_COUNT
set, so that only the set-up below runs unauthenticated: an IAM role with an
S3 policy, the bucket, fixture objects (one with tags), and temporary
credentials from sts assume-role. Then signature checking is switched on for
every later request, and STATE_DIR/store.txt is written ("name=value" lines:
endpoint, region, bucket, prefix, access_key, secret_key, token; mode 0600).

Runs until its standard input closes (or at most --lifetime seconds, 900 by
default), then stops the server. Nothing secret is printed; the server's own
log goes to STATE_DIR/moto.log.
"""
import json
import os
import select
import socket
import subprocess
import sys
import time
import urllib.request

try:
    import boto3
    from botocore.config import Config
except ImportError as missing:
    sys.stderr.write("missing Python module %s (the set-up puts moto, boto3 and botocore in .oracles/venv: bash scripts/oracles.sh)\n" % missing.name)
    sys.exit(3)

REGION = "us-east-1"
BUCKET = "camera-bucket"
PREFIX = "1001"
SETUP_KEYS = ("AKIAFIXTURESETUP0000", "fixture-setup-secret")


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def wait_until_up(endpoint, server, deadline):
    while time.monotonic() < deadline:
        if server.poll() is not None:
            raise RuntimeError("moto_server exited with %s" % server.returncode)
        try:
            urllib.request.urlopen(endpoint + "/moto-api/", timeout=1).read()
            return
        except OSError:
            time.sleep(0.2)
    raise RuntimeError("moto_server did not start in time")


def client(kind, endpoint):
    return boto3.client(kind, endpoint_url=endpoint, region_name=REGION, aws_access_key_id=SETUP_KEYS[0],
                        aws_secret_access_key=SETUP_KEYS[1], config=Config(s3={"addressing_style": "path"}))


def set_up(endpoint):
    iam = client("iam", endpoint)
    trust = {"Version": "2012-10-17", "Statement": [
        {"Effect": "Allow", "Principal": {"AWS": "*"}, "Action": "sts:AssumeRole"}]}
    role = iam.create_role(RoleName="camera-cloud", AssumeRolePolicyDocument=json.dumps(trust))["Role"]
    access = {"Version": "2012-10-17", "Statement": [
        {"Effect": "Allow", "Action": "s3:*",
         "Resource": ["arn:aws:s3:::%s" % BUCKET, "arn:aws:s3:::%s/*" % BUCKET]}]}
    iam.put_role_policy(RoleName="camera-cloud", PolicyName="camera-objects", PolicyDocument=json.dumps(access))

    s3 = client("s3", endpoint)
    s3.create_bucket(Bucket=BUCKET)
    s3.put_object(Bucket=BUCKET, Key=PREFIX + "/fixture/hello.txt", Body=b"hello from the store\n")
    s3.put_object(Bucket=BUCKET, Key=PREFIX + "/fixture/tagged.264", Body=b"\x00\x00\x01\xfc",
                  Tagging="kind=segment&camera=1001")

    sts = client("sts", endpoint)
    credentials = sts.assume_role(RoleArn=role["Arn"], RoleSessionName="camera-1001")["Credentials"]
    return credentials


def enforce_signatures(endpoint):
    # A form content type would hide the body from the server.
    request = urllib.request.Request(endpoint + "/moto-api/reset-auth", data=b"0", method="POST",
                                     headers={"Content-Type": "text/plain"})
    urllib.request.urlopen(request, timeout=5).read()


def write_state(state_dir, endpoint, credentials):
    lines = {
        "endpoint": endpoint, "region": REGION, "bucket": BUCKET, "prefix": PREFIX,
        "access_key": credentials["AccessKeyId"], "secret_key": credentials["SecretAccessKey"],
        "token": credentials["SessionToken"],
    }
    temporary = os.path.join(state_dir, "store.txt.tmp")
    descriptor = os.open(temporary, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600)
    with os.fdopen(descriptor, "w") as out:
        for name, value in lines.items():
            out.write("%s=%s\n" % (name, value))
    os.rename(temporary, os.path.join(state_dir, "store.txt"))


def main(argv):
    lifetime = 900.0
    if "--lifetime" in argv:
        at = argv.index("--lifetime")
        lifetime = float(argv[at + 1])
        del argv[at:at + 2]
    if len(argv) != 2:
        sys.stderr.write(__doc__)
        return 2
    state_dir = argv[1]
    port = free_port()
    endpoint = "http://127.0.0.1:%d" % port
    environment = dict(os.environ, INITIAL_NO_AUTH_ACTION_COUNT="1000", AWS_DEFAULT_REGION=REGION)
    with open(os.path.join(state_dir, "moto.log"), "wb") as log:
        server = subprocess.Popen([sys.executable, "-m", "moto.server", "-H", "127.0.0.1", "-p", str(port)], env=environment,
                                  stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT)
    try:
        started = time.monotonic()
        wait_until_up(endpoint, server, started + 60)
        credentials = set_up(endpoint)
        enforce_signatures(endpoint)
        write_state(state_dir, endpoint, credentials)
        # Serve until the test closes our input or the lifetime runs out.
        while time.monotonic() - started < lifetime and server.poll() is None:
            readable, _, _ = select.select([sys.stdin], [], [], 1.0)
            if readable and not sys.stdin.buffer.read1(4096):
                break
    finally:
        server.terminate()
        try:
            server.wait(timeout=10)
        except subprocess.TimeoutExpired:
            server.kill()
            server.wait()
    return 0


if __name__ == "__main__":
    sys.exit(main(list(sys.argv)))
